#include "KXDataModel.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"
#include "KXRibbon.h"
#include "KXTestSupport.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

class TestVariableEditor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void branches_data();
    void branches();
    void doubleClick_data();
    void doubleClick();
    void removeButton_data();
    void removeButton();
    void constantValue_data();
    void constantValue();

private:
    KXEquationVariableModel m_variables;
    KXDataModelGeneric m_table;
};

namespace {
QTreeWidgetItem* itemNamed(const QTreeWidget& tree, const QString& name)
{
    return tree.findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
}

// The children as "name=value", separated by blanks.
QString describeChildren(const QTreeWidgetItem* item)
{
    QStringList children;
    for (int index = 0; index < item->childCount(); ++index)
        children << item->child(index)->text(0) + '=' + item->child(index)->text(1);
    return children.join(' ');
}
}

void TestVariableEditor::init()
{
    m_table.createEmpty(3, 10);
    m_variables = KXEquationVariableModel();
    m_variables.addVariable("Input1", &m_table, QString());
}

// Two branches, the constants under the first; rebuilt after the tree's own clear.
void TestVariableEditor::branches_data()
{
    QTest::addColumn<bool>("cleared");
    QTest::newRow("fresh") << false;
    QTest::newRow("after-tree-clear") << true;
}

void TestVariableEditor::branches()
{
    QFETCH(bool, cleared);
    KXEquationVariableEditor editor(&m_variables);
    if (cleared)
        editor.QTreeWidget::clear();
    editor.updateVariables();
    QCOMPARE(editor.topLevelItemCount(), 2);
    QCOMPARE(editor.topLevelItem(0)->flags(), Qt::ItemIsEnabled);
    QCOMPARE(describeChildren(editor.topLevelItem(0)), QString("NO_VALUE=-9999 PI=3.14159"));
    QCOMPARE(editor.topLevelItem(1)->child(0)->text(0), QString("Input1"));
    m_variables.addVariable("Input2", nullptr, QString());
    editor.updateVariables();
    QCOMPARE(describeChildren(itemNamed(editor, "Input2")), QString("NC_Input2= NR_Input2="));
}

void TestVariableEditor::doubleClick_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("signalsEmitted");
    QTest::newRow("unchanged") << "PI" << false << "PI" << true << "dialog value PI>3.14159";
    QTest::newRow("renamed") << "PI" << false << "tau" << true << "dialog name PI>tau value tau>3.14159";
    QTest::newRow("derived-constant") << "NR_Input1" << false << "NR_Input1" << true << "dialog value NR_Input1>10";
    QTest::newRow("branch-title") << "Constant" << false << "x" << true << "";
    QTest::newRow("dataset-variable") << "Input1" << false << "x" << true << "";
    QTest::newRow("read-only") << "PI" << true << "x" << true << "";
}

void TestVariableEditor::doubleClick()
{
    QFETCH(QString, item);
    QFETCH(bool, readOnly);
    QFETCH(QString, name);
    QFETCH(bool, accept);
    QFETCH(QString, signalsEmitted);
    KXEquationVariableEditor editor(&m_variables);
    editor.setReadOnly(readOnly);
    QStringList log;
    connect(&editor, &KXEquationVariableEditor::variableNameChanged,
            [&](const QString& oldName, const QString& newName) { log << "name " + oldName + ">" + newName; });
    connect(&editor, &KXEquationVariableEditor::variableValueChanged,
            [&](const QString& variable, const QString& value) { log << "value " + variable + ">" + value; });
    // Answers the dialog, if one opens, from inside its event loop.
    QTimer::singleShot(0, &editor, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        log << "dialog";
        dialog->findChild<QLineEdit*>("nameEdit")->setText(name);
        accept ? dialog->accept() : dialog->reject();
    });
    emit editor.itemDoubleClicked(itemNamed(editor, item), 1);
    QCOMPARE(log.join(' '), signalsEmitted);
}

void TestVariableEditor::removeButton_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("branch-title") << QStringList({"Constant"}) << QStringList();
    QTest::newRow("derived-constant") << QStringList({"NC_Input1"}) << QStringList({"NC_Input1"});
    QTest::newRow("title-and-variable") << QStringList({"Data matrix", "Input1"}) << QStringList({"Input1"});
}

void TestVariableEditor::removeButton()
{
    QFETCH(QStringList, selected);
    QFETCH(QStringList, names);
    KXEquationVariableEditor editor(&m_variables);
    editor.setSelectionMode(QAbstractItemView::MultiSelection);
    KXRibbonBar bar;
    editor.initVariablesGroup(&bar);
    auto* remove = static_cast<QToolButton*>(bar.groups().value(0)->layout()->itemAt(1)->widget());
    QVERIFY(!remove->isEnabled());
    // A selection made and dropped again disables the button again.
    itemNamed(editor, "PI")->setSelected(true);
    editor.clearSelection();
    for (const QString& name : selected)
        itemNamed(editor, name)->setSelected(true);
    QCOMPARE(QStringList(editor.getSelectedItems()), names);
    QCOMPARE(remove->isEnabled(), !names.isEmpty());
}

void TestVariableEditor::constantValue_data()
{
    QTest::addColumn<bool>("french");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("acceptable");
    QTest::newRow("french-comma") << true << "0,2" << "0.2" << true;
    QTest::newRow("french-point") << true << "0.2" << "0.2" << false;
    QTest::newRow("english-point") << false << "2.5e-3" << "2.5e-3" << true;
}

// Numbers are typed in the interface language and given to the controller in the formulas' notation.
void TestVariableEditor::constantValue()
{
    QFETCH(bool, french);
    QFETCH(QString, typed);
    QFETCH(QString, given);
    QFETCH(bool, acceptable);
    KXTest::LanguageScope language(french);
    KXEquationVariableDialog dialog;
    auto* field = dialog.findChild<QLineEdit*>("valueEdit");
    field->setText(typed);
    QCOMPARE(dialog.constantValue(), given);
    QCOMPARE(field->hasAcceptableInput(), acceptable);
    // A value given back to the dialog shows in the interface's notation, ready to edit.
    dialog.setConstantValue(given);
    QCOMPARE(dialog.constantValue(), given);
    bool isNumber = false;
    given.toDouble(&isNumber);
    QCOMPARE(field->hasAcceptableInput(), isNumber);
}

QTEST_MAIN(TestVariableEditor)
#include "tst_variableeditor.moc"
