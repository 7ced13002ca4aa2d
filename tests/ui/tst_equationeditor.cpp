#include "KXDataModel.h"
#include "KXEquationEditor.h"
#include "KXEquationFormulaEdit.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"
#include "KXRibbonEquation.h"
#include "KXTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <memory>
#include <vector>

using VRN::Kestrix::Wizard::WizardItem;

class TestEquationEditor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void edits_data();
    void edits();
    void headerList_data();
    void headerList();
    void refill_data();
    void refill();
    void newSeed();
    void rangeFieldsWhole_data();
    void rangeFieldsWhole();
    void previewReadsLikeTable_data();
    void previewReadsLikeTable();

private:
    KXEquationModel m_model;
    KXEquationVariableModel m_variables;
    KXDataModelGeneric m_tables[3];
};

namespace {
class SignalLog
{
public:
    explicit SignalLog(QObject* object)
    {
        const QMetaObject* meta = object->metaObject();
        for (int index = meta->methodOffset(); index < meta->methodCount(); ++index) {
            const QMetaMethod method = meta->method(index);
            if (method.methodType() == QMetaMethod::Signal)
                m_spies.emplace_back(method.name(), std::make_unique<QSignalSpy>(object, ("2" + method.methodSignature()).constData()));
        }
    }
    QStringList take()
    {
        QStringList entries;
        for (auto& [name, spy] : m_spies) {
            for (const QList<QVariant>& arguments : qAsConst(*spy))
                entries.append(QString::fromLatin1(name) + ':' + (arguments.isEmpty() ? QString() : arguments.first().toString()));
            spy->clear();
        }
        return entries;
    }

private:
    std::vector<std::pair<QByteArray, std::unique_ptr<QSignalSpy>>> m_spies;
};

struct Page
{
    Page(const KXEquationModel* model, const KXEquationVariableModel* variables) : editor(model, variables)
    {
        editor.linkToRunningWizard(&bar);
        page = bar.pages().value(0);
        headerGroup = page->findChild<QGroupBox*>(QStringLiteral("EquationHeader"));
    }
    QComboBox* headerList() const { return headerGroup->findChild<QComboBox*>(); }
    QCheckBox* check(int index) const { return headerGroup->findChildren<QCheckBox*>().value(index); }
    KXEquationFormulaEdit* formula() const { return page->findChild<KXEquationFormulaEdit*>(); }
    QWidget* widget(const QString& name) const
    {
        static const QMap<QString, QPoint> cells{{"datasetName", {0, 3}}, {"rowStart", {1, 3}}, {"rowEnd", {1, 5}}, {"colStart", {2, 3}},
                                                 {"colEnd", {2, 5}},      {"rowName", {6, 3}},  {"colName", {7, 3}},
                                                 {"seed", {8, 3}}};
        const QMap<QString, QWidget*> named{{"formula", formula()}, {"lineHeaders", check(0)}, {"columnHeaders", check(1)},
                                            {"headerGroup", headerGroup}, {"headerList", headerList()}};
        if (named.contains(name))
            return named.value(name);
        auto* grid = qobject_cast<QGridLayout*>(headerGroup->parentWidget()->layout());
        return grid->itemAtPosition(cells.value(name).x(), cells.value(name).y())->widget();
    }
    QString text(const QString& name) const
    {
        return name == "formula" ? formula()->text() : qobject_cast<QLineEdit*>(widget(name))->text();
    }
    KXRibbonEquation bar;
    KXEquationEditor editor;
    WizardItem* page = nullptr;
    QGroupBox* headerGroup = nullptr;
};

// The text fields in the page's order: formula, dataset, rows start/end, columns start/end, row and column names.
void setTexts(KXEquationModel& model, const QStringList& v)
{
    model.setFormula(v[0]);
    model.setSubdatasetName(v[1]);
    model.setRowStart(v[2]);
    model.setRowEnd(v[3]);
    model.setColStart(v[4]);
    model.setColEnd(v[5]);
    model.setRowName(v[6]);
    model.setColName(v[7]);
}
}

void TestEquationEditor::init()
{
    m_model = KXEquationModel();
    setTexts(m_model, {"Input1(i,j)*2", "q1_2", "1", "NR_Input1", "2", "NC_Input1", "\"r\"+i", "\"c\"+j"});
    m_model.setDataModelForHeader("Input2");
    m_model.setSeed(1844674407370955161ULL); // one digit short of the largest seed
    m_variables = KXEquationVariableModel();
    for (KXDataModelGeneric& table : m_tables)
        table.createEmpty(2, 3);
    m_variables.addVariable("Input1", &m_tables[0], QString());
    m_variables.addVariable("Input2", &m_tables[1], QString());
}

void TestEquationEditor::edits_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("formula") << "formula" << "+1" << 0 << QStringList{"formulaChanged:Input1(i,j)*2+", "formulaChanged:Input1(i,j)*2+1"};
    QTest::newRow("dataset-name") << "datasetName" << "x" << 0 << QStringList{"subdatasetNameChanged:q1_2x"};
    QTest::newRow("row-start") << "rowStart" << "0" << 0 << QStringList{"rowStartChanged:10"};
    QTest::newRow("row-end") << "rowEnd" << "-1" << 0 << QStringList{"rowEndChanged:NR_Input1-", "rowEndChanged:NR_Input1-1"};
    QTest::newRow("col-start") << "colStart" << "0" << 0 << QStringList{"colStartChanged:20"};
    QTest::newRow("col-end") << "colEnd" << "/" << 0 << QStringList{"colEndChanged:NC_Input1/"};
    QTest::newRow("col-name") << "colName" << "k" << 0 << QStringList{"colNameChanged:\"c\"+jk"};
    QTest::newRow("line-headers") << "lineHeaders" << "" << int(Qt::Key_Space) << QStringList{"stateVHeaderChanged:false"};
    QTest::newRow("column-headers") << "columnHeaders" << "" << int(Qt::Key_Space) << QStringList{"stateHHeaderChanged:false"};
    QTest::newRow("header-switch") << "headerGroup" << "" << int(Qt::Key_Space) << QStringList{"keepHeaderChanged:false"};
    QTest::newRow("header-dataset-up") << "headerList" << "" << int(Qt::Key_Up) << QStringList{"dataModelForHeaderChanged:Input1"};
    QTest::newRow("header-dataset-last") << "headerList" << "" << int(Qt::Key_Down) << QStringList();
    // A seed is reported only as a whole number from 0 to 2^64-1.
    QTest::newRow("seed-largest") << "seed" << "5" << int(Qt::Key_End) << QStringList{"seedChanged:18446744073709551615"};
    QTest::newRow("seed-beyond") << "seed" << "6" << int(Qt::Key_End) << QStringList();
}

void TestEquationEditor::edits()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(int, key);
    QFETCH(QStringList, expected);
    Page page(&m_model, &m_variables);
    SignalLog log(&page.editor);
    QWidget* target = page.widget(field);
    QTest::keyClick(target, key ? Qt::Key(key) : Qt::Key_End);
    QTest::keyClicks(target, keys);
    QCOMPARE(log.take(), expected);
    if (key)
        return;
    // Clearing the field is one more edit, reported with the empty text.
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Delete);
    QCOMPARE(log.take(), QStringList(expected.last().section(':', 0, 0) + ':'));
}

void TestEquationEditor::headerList_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("shownAfterRefill");
    QTest::addColumn<QStringList>("reported");
    QTest::newRow("no-variable") << QStringList() << "Input1" << "" << "Input3" << QStringList{"dataModelForHeaderChanged:Input3"};
    QTest::newRow("stored-listed") << QStringList{"Input1", "Input2"} << "Input2" << "Input2" << "Input2" << QStringList();
    QTest::newRow("stored-other-case") << QStringList{"Input1", "Input2"} << "input2" << "Input1" << "Input1"
                                       << QStringList{"dataModelForHeaderChanged:Input1"};
    QTest::newRow("nothing-stored") << QStringList{"Input2"} << "" << "Input2" << "Input2" << QStringList{"dataModelForHeaderChanged:Input2"};
}

void TestEquationEditor::headerList()
{
    QFETCH(QStringList, names);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, shownAfterRefill);
    QFETCH(QStringList, reported);
    KXEquationVariableModel variables;
    for (int k = 0; k < names.size(); ++k)
        variables.addVariable(names[k], &m_tables[k], QString());
    m_model.setDataModelForHeader(stored);
    Page page(&m_model, &variables);
    QCOMPARE(page.headerList()->count(), names.size());
    QCOMPARE(page.headerList()->currentText(), shown);

    // A refill after a new variable keeps the stored dataset, and reports only one no longer listed.
    variables.addVariable("Input3", &m_tables[2], QString());
    SignalLog log(&page.editor);
    page.editor.updateInterface();
    QCOMPARE(page.headerList()->count(), names.size() + 1);
    QCOMPARE(page.headerList()->currentText(), shownAfterRefill);
    QCOMPARE(m_model.dataModelForHeader(), stored);
    QCOMPARE(log.take(), reported);
}

void TestEquationEditor::refill_data()
{
    QTest::addColumn<bool>("keepHeader");
    QTest::newRow("headers-kept") << true;
    QTest::newRow("headers-ignored") << false;
}

void TestEquationEditor::refill()
{
    QFETCH(bool, keepHeader);
    Page page(&m_model, &m_variables);
    const QStringList values{"sqrt(i)", "roots", "2", "3", "4", "5", "", "\"x\""};
    setTexts(m_model, values);
    m_model.setKeepVHeader(false);
    m_model.setKeepHeader(keepHeader);
    m_model.setDataModelForHeader("Input1");
    page.editor.updateInterface();
    QStringList texts;
    for (const char* field : {"formula", "datasetName", "rowStart", "rowEnd", "colStart", "colEnd", "rowName", "colName"})
        texts << page.text(field);
    QCOMPARE(texts, values);
    QCOMPARE(page.check(0)->isChecked(), false);
    QCOMPARE(page.check(1)->isChecked(), keepHeader);
    QCOMPARE(page.headerGroup->isChecked(), keepHeader);
    QCOMPARE(page.headerList()->currentText(), QStringLiteral("Input1"));
    QVERIFY(m_model.keepHHeader() == keepHeader);
}

void TestEquationEditor::newSeed()
{
    Page page(&m_model, &m_variables);
    SignalLog log(&page.editor);
    QTest::mouseClick(page.page->findChild<QPushButton*>(QStringLiteral("EquationNewSeed")), Qt::LeftButton);
    const QString seed = page.text("seed");
    QVERIFY(seed != QString::number(m_model.seed()));
    QCOMPARE(log.take(), QStringList("seedChanged:" + seed));
}

void TestEquationEditor::rangeFieldsWhole_data()
{
    QTest::addColumn<bool>("french");
    QTest::addColumn<QString>("field");
    QTest::newRow("rows-fr") << true << "rowEnd";
    QTest::newRow("columns-fr") << true << "colEnd";
}

// At the narrowest the page allows, the ends of the range show their size constants unscrolled:
// the caret at the end sits where it does in a field far wider.
void TestEquationEditor::rangeFieldsWhole()
{
    QFETCH(bool, french);
    QFETCH(QString, field);
    KXTest::LanguageScope language(french);
    Page page(&m_model, &m_variables);
    QWidget* panel = page.page->window();
    panel->resize(panel->minimumSizeHint());
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    auto* edit = qobject_cast<QLineEdit*>(page.widget(field));
    QLineEdit wide(edit->text());
    wide.setFont(edit->font());
    wide.setStyleSheet(edit->styleSheet());
    wide.resize(1000, edit->height());
    for (QLineEdit* shown : {edit, &wide}) {
        shown->end(false);
        shown->grab(); // the scrolling is worked out when the field is painted
    }
    QVERIFY(edit->text().startsWith(field == "rowEnd" ? "NR_" : "NC_"));
    QCOMPARE(edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x(),
             wide.inputMethodQuery(Qt::ImCursorRectangle).toRect().x());
}

// The preview shows values as the data editor does, whole, in the interface language.
void TestEquationEditor::previewReadsLikeTable_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<bool>("french");
    QTest::addColumn<QString>("shown");
    // How each number reads is the number format's; here, that the preview uses it.
    QTest::newRow("rounding-en") << "192.50000000000003" << false << "192.5";
    QTest::newRow("fifteen-digits-fr") << "-123456789.012345" << true << "-123456789,012345";
    QTest::newRow("no-value") << "-9999" << false << "";
}

void TestEquationEditor::previewReadsLikeTable()
{
    QFETCH(QString, formula);
    QFETCH(bool, french);
    QFETCH(QString, shown);
    KXTest::LanguageScope language(french);
    m_model.setFormula(formula);
    Page page(&m_model, &m_variables);
    auto* view = page.page->findChild<QTableView*>(QStringLiteral("EquationPreview"));
    QTRY_VERIFY(view->isVisibleTo(page.page) && view->model()->rowCount() > 0);
    const QModelIndex cell = view->model()->index(0, 0);
    QCOMPARE(cell.data().toString(), shown);
    QCOMPARE(cell.data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, int(Qt::AlignRight));
    QCOMPARE(cell.data(Qt::BackgroundRole).isValid(), shown.isEmpty());
    QVERIFY(view->columnWidth(0) > view->fontMetrics().horizontalAdvance(QStringLiteral("-123456789.012345")));
}

QTEST_MAIN(TestEquationEditor)
#include "tst_equationeditor.moc"
