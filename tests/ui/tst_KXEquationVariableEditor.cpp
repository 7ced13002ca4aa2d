#include "KXDataModel.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"
#include "KXObject2.h"
#include "KXRibbon.h"
#include "KXTestSupport.h"
#include "LodeDB.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMimeData>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

class KXEquationVariableEditorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void withoutModel();
    void branches_data();
    void branches();
    void datasetBranch_data();
    void datasetBranch();
    void doubleClickOpens_data();
    void doubleClickOpens();
    void editDialog_data();
    void editDialog();
    void removeButton_data();
    void removeButton();
    void addConstant();
    void dragEnter_data();
    void dragEnter();
    void dropTwoDatasets();

private:
    std::unique_ptr<KXEquationVariableModel> m_variables;
    KXDataModelGeneric m_table;
};

namespace {
using DialogAnswer = std::function<void(QDialog*)>;

// Runs action, answering the modal dialog it opens (if any) with answer; true when one opened.
bool withDialog(const std::function<void()>& action, const DialogAnswer& answer)
{
    bool opened = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            opened = true;
            answer(dialog);
        }
    });
    timer.start(0);
    action();
    return opened;
}

void fillAndAccept(QDialog* dialog, const QString& name, const QString& value)
{
    dialog->findChild<QLineEdit*>("nameEdit")->setText(name);
    dialog->findChild<QLineEdit*>("valueEdit")->setText(value);
    dialog->accept();
}

// The drag handlers, called directly: the application's routing of drag events needs a real drag.
class KXDropTarget final : public KXEquationVariableEditor
{
public:
    using KXEquationVariableEditor::KXEquationVariableEditor;
    using KXEquationVariableEditor::dragEnterEvent;
    using KXEquationVariableEditor::dragMoveEvent;
    using KXEquationVariableEditor::dropEvent;
};

QTreeWidgetItem* itemNamed(const QTreeWidget& tree, const QString& name)
{
    return tree.findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
}
}

void KXEquationVariableEditorTest::init()
{
    m_table.createEmpty(3, 10);
    m_variables = std::make_unique<KXEquationVariableModel>();
    m_variables->addVariable("Input1", &m_table, QString());
}

void KXEquationVariableEditorTest::withoutModel()
{
    KXEquationVariableEditor editor(nullptr);
    QCOMPARE(editor.topLevelItemCount(), 0);
    QCOMPARE(editor.columnCount(), 2);
}

void KXEquationVariableEditorTest::branches_data()
{
    QTest::addColumn<bool>("french");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("english") << false << QStringList({"Name", "Value", "Constant", "Data matrix"});
    QTest::newRow("french") << true << QStringList({"Nom", "Valeur", "Constante", "Tableaux de données"});
}

void KXEquationVariableEditorTest::branches()
{
    QFETCH(bool, french);
    QFETCH(QStringList, texts);
    KXTest::LanguageScope language(french ? TApplicationTranslator::French : TApplicationTranslator::English);
    KXEquationVariableModel variables;
    KXEquationVariableEditor editor(&variables);
    QCOMPARE(editor.headerItem()->text(0), texts[0]);
    QCOMPARE(editor.headerItem()->text(1), texts[1]);
    QCOMPARE(editor.topLevelItemCount(), 2);
    for (int branch = 0; branch < 2; ++branch) {
        const QTreeWidgetItem* item = editor.topLevelItem(branch);
        QCOMPARE(item->text(0), texts[2 + branch]);
        QCOMPARE(item->flags(), Qt::ItemIsEnabled);
        QVERIFY(item->isExpanded());
        const QGradient* gradient = item->background(1).gradient();
        QVERIFY(gradient && gradient->type() == QGradient::LinearGradient);
        QCOMPARE(static_cast<const QLinearGradient*>(gradient)->finalStop(), QPointF(1, 1));
        QCOMPARE(gradient->stops(), QGradientStops({{0, QColor(231, 239, 253)}, {1, QColor(203, 218, 241)}}));
    }
    const QTreeWidgetItem* constants = editor.topLevelItem(0);
    QCOMPARE(constants->childCount(), 2);
    QCOMPARE(constants->child(0)->text(0), QString("NO_VALUE"));
    QCOMPARE(constants->child(0)->text(1), QString("-9999"));
    QCOMPARE(constants->child(1)->text(1), QString("3.14159"));
    QCOMPARE(constants->child(1)->flags(), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    QVERIFY(!constants->child(1)->icon(0).isNull());
    QCOMPARE(editor.topLevelItem(1)->childCount(), 0);
}

void KXEquationVariableEditorTest::datasetBranch_data()
{
    QTest::addColumn<bool>("withTable");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("rows");
    QTest::newRow("with-table") << true << "3" << "10";
    QTest::newRow("without-table") << false << "" << "";
}

void KXEquationVariableEditorTest::datasetBranch()
{
    QFETCH(bool, withTable);
    QFETCH(QString, columns);
    QFETCH(QString, rows);
    m_table.setName("shop", "prices");
    m_variables->addVariable("Input2", withTable ? &m_table : nullptr, QString());
    KXEquationVariableEditor editor(m_variables.get());
    const QTreeWidgetItem* datasets = editor.topLevelItem(1);
    const QTreeWidgetItem* dataset = datasets->child(withTable ? 0 : 1);
    QCOMPARE(dataset->text(1), withTable ? QString("shop.prices") : QString());
    QVERIFY(dataset->isExpanded());
    QVERIFY(!dataset->icon(0).isNull());
    QCOMPARE(dataset->childCount(), 2);
    QCOMPARE(dataset->child(0)->text(1), columns);
    QCOMPARE(dataset->child(1)->text(1), rows);
    QCOMPARE(editor.topLevelItem(0)->childCount(), 2);
}

void KXEquationVariableEditorTest::doubleClickOpens_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("opens");
    QTest::newRow("constant") << "PI" << false << true;
    QTest::newRow("derived-constant") << "NR_Input1" << false << true;
    QTest::newRow("branch-title") << "Constant" << false << false;
    QTest::newRow("dataset-variable") << "Input1" << false << false;
    QTest::newRow("read-only") << "PI" << true << false;
}

void KXEquationVariableEditorTest::doubleClickOpens()
{
    QFETCH(QString, name);
    QFETCH(bool, readOnly);
    QFETCH(bool, opens);
    KXEquationVariableEditor editor(m_variables.get());
    editor.setReadOnly(readOnly);
    QTreeWidgetItem* item = itemNamed(editor, name);
    QVERIFY(item);
    const bool opened = withDialog([&] { emit editor.itemDoubleClicked(item, 0); },
                                   [](QDialog* dialog) { dialog->reject(); });
    QCOMPARE(opened, opens);
}

void KXEquationVariableEditorTest::editDialog_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QStringList>("renames");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("unchanged") << "PI" << "3.14159" << true << QStringList() << QStringList({"PI", "3.14159"});
    QTest::newRow("renamed") << "tau" << "6.28" << true << QStringList({"PI", "tau"}) << QStringList({"tau", "6.28"});
    QTest::newRow("cancelled") << "tau" << "6.28" << false << QStringList() << QStringList();
}

void KXEquationVariableEditorTest::editDialog()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(bool, accept);
    QFETCH(QStringList, renames);
    QFETCH(QStringList, values);
    KXEquationVariableEditor editor(m_variables.get());
    QSignalSpy renamed(&editor, &KXEquationVariableEditor::variableNameChanged);
    QSignalSpy changed(&editor, &KXEquationVariableEditor::variableValueChanged);
    QTreeWidgetItem* item = itemNamed(editor, "PI");
    QString shownName;
    QVERIFY(withDialog([&] { emit editor.itemDoubleClicked(item, 1); }, [&](QDialog* dialog) {
        shownName = dialog->findChild<QLineEdit*>("nameEdit")->text();
        if (accept)
            fillAndAccept(dialog, name, value);
        else
            dialog->reject();
    }));
    QCOMPARE(shownName, QString("PI"));
    QCOMPARE(renamed.size(), renames.isEmpty() ? 0 : 1);
    if (!renames.isEmpty())
        QCOMPARE(QStringList({renamed.first().at(0).toString(), renamed.first().at(1).toString()}), renames);
    QCOMPARE(changed.size(), values.isEmpty() ? 0 : 1);
    if (!values.isEmpty())
        QCOMPARE(QStringList({changed.first().at(0).toString(), changed.first().at(1).toString()}), values);
}

void KXEquationVariableEditorTest::removeButton_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("nothing") << QStringList() << QStringList();
    QTest::newRow("branch-title") << QStringList({"Constant"}) << QStringList();
    QTest::newRow("constant") << QStringList({"PI"}) << QStringList({"PI"});
    QTest::newRow("derived-constant") << QStringList({"NC_Input1"}) << QStringList({"NC_Input1"});
    QTest::newRow("title-and-variable") << QStringList({"Data matrix", "Input1"}) << QStringList({"Input1"});
}

void KXEquationVariableEditorTest::removeButton()
{
    QFETCH(QStringList, selected);
    QFETCH(QStringList, names);
    KXEquationVariableEditor editor(m_variables.get());
    editor.setSelectionMode(QAbstractItemView::MultiSelection);
    KXRibbonBar bar;
    editor.initVariablesGroup(&bar);
    QCOMPARE(bar.groups().size(), 1);
    QCOMPARE(bar.groups().first()->title(), QString("Variables"));
    auto* remove = bar.groups().first()->layout()->itemAt(1)->widget();
    QCOMPARE(static_cast<QToolButton*>(remove)->text(), QString("Delete a variable"));
    QVERIFY(!remove->isEnabled());
    // A selection made and dropped again leaves the button as it was.
    itemNamed(editor, "PI")->setSelected(true);
    editor.clearSelection();
    for (const QString& name : selected)
        itemNamed(editor, name)->setSelected(true);
    QCOMPARE(QStringList(editor.getSelectedItems()), names);
    QCOMPARE(remove->isEnabled(), !names.isEmpty());
}

void KXEquationVariableEditorTest::addConstant()
{
    KXEquationVariableEditor editor(m_variables.get());
    KXRibbonBar bar;
    editor.initVariablesGroup(&bar);
    QSignalSpy added(&editor, &KXEquationVariableEditor::variableAdded);
    auto* add = static_cast<QToolButton*>(bar.groups().first()->layout()->itemAt(0)->widget());
    QString title;
    QVERIFY(withDialog([&] { add->click(); }, [&](QDialog* dialog) {
        title = dialog->windowTitle();
        fillAndAccept(dialog, "rate", "1.5e3");
    }));
    QCOMPARE(title, QString("Add a constant"));
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().at(0).toString(), QString("rate"));
    QCOMPARE(added.first().at(1).toString(), QString("1.5e3"));
}

void KXEquationVariableEditorTest::dragEnter_data()
{
    QTest::addColumn<QString>("payload");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("datasets") << "datasets" << true;
    QTest::newRow("no-object") << "none" << false;
    QTest::newRow("plain-text") << "text" << false;
}

namespace {
// Two stored datasets of a fresh project, in the order of the drag.
struct Project
{
    Project()
    {
        ProjectMgrInterface::returnMe()->openProject(directory.path());
        KXDataModelGeneric table;
        table.createEmpty(2, 2);
        LodeDB::TDatabase* database = ProjectMgrInterface::returnMe()->database();
        database->storeDataset("shop", "taxes", table, nullptr);
        database->storeDataset("shop", "prices", table, nullptr);
        datasets = {database->getDataset("shop", "taxes"), database->getDataset("shop", "prices")};
    }
    ~Project() { ProjectMgrInterface::returnMe()->closeProject(); }

    QMimeData* payload(const QString& kind) const
    {
        if (kind == QLatin1String("text")) {
            auto* data = new QMimeData;
            data->setText("shop.taxes");
            return data;
        }
        return KXObject2Decoder::encodeObjects(kind == QLatin1String("none") ? QList<const KXObject2Dataset*>()
                                                                             : datasets);
    }

    QTemporaryDir directory;
    QList<const KXObject2Dataset*> datasets;
};
}

void KXEquationVariableEditorTest::dragEnter()
{
    QFETCH(QString, payload);
    QFETCH(bool, accepted);
    Project project;
    KXDropTarget editor(m_variables.get());
    std::unique_ptr<QMimeData> data(project.payload(payload));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(!accepted);
    editor.dragEnterEvent(&enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDragMoveEvent move(QPoint(6, 6), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    move.setAccepted(!accepted);
    editor.dragMoveEvent(&move);
    QCOMPARE(move.isAccepted(), accepted);
}

void KXEquationVariableEditorTest::dropTwoDatasets()
{
    Project project;
    KXDropTarget editor(m_variables.get());
    QSignalSpy dropped(&editor, &KXEquationVariableEditor::datasetDropped);
    std::unique_ptr<QMimeData> data(project.payload("datasets"));
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    editor.dropEvent(&drop);
    QCOMPARE(dropped.size(), 2);
    QStringList names;
    for (const QList<QVariant>& signal : dropped) {
        QString dataset;
        QString subdataset;
        auto* table = dynamic_cast<KXDataModelDataset*>(signal.at(0).value<QAbstractItemModel*>());
        QVERIFY(table);
        table->getName(dataset, subdataset);
        names << dataset + "." + subdataset;
    }
    QCOMPARE(names, QStringList({"shop.taxes", "shop.prices"}));
}

QTEST_MAIN(KXEquationVariableEditorTest)
#include "tst_KXEquationVariableEditor.moc"
