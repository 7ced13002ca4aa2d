#include "KXDataModel.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"
#include "KXRibbon.h"
#include "KXTestSupport.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
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
    void refusedEntries_data();
    void refusedEntries();

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
    QTest::addColumn<QString>("signalsEmitted");
    // The tree shows six digits; the dialog gives every one back.
    QTest::newRow("unchanged") << "PI" << false << "PI" << "dialog value PI>3.141592653589793";
    QTest::newRow("renamed") << "PI" << false << "tau" << "dialog name PI>tau value tau>3.141592653589793";
    QTest::newRow("derived-constant") << "NR_Input1" << false << "NR_Input1" << "dialog value NR_Input1>10";
    QTest::newRow("branch-title") << "Constant" << false << "x" << "";
    QTest::newRow("dataset-variable") << "Input1" << false << "x" << "";
    QTest::newRow("read-only") << "PI" << true << "x" << "";
    QTest::newRow("renamed-to-function") << "PI" << false << "sqrt" << "dialog refused";
}

void TestVariableEditor::doubleClick()
{
    QFETCH(QString, item);
    QFETCH(bool, readOnly);
    QFETCH(QString, name);
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
        dialog->accept();
        if (dialog->isVisible()) {
            log << "refused";
            dialog->reject();
        }
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
    QTest::newRow("french-comma") << true << "1,5" << "1.5" << true;
    QTest::newRow("french-point") << true << "1.5" << "1.5" << true;
    QTest::newRow("english-thousands") << false << "1,234.5" << "1,234.5" << false;
    QTest::newRow("english-exponent") << false << "2.5e-3" << "0.0025" << true;
    QTest::newRow("zero") << true << "0" << "0" << true;
    QTest::newRow("negative") << false << "-2147483648" << "-2147483648" << true;
    QTest::newRow("int-max") << true << "2147483647" << "2147483647" << true;
    QTest::newRow("largest-double") << false << "1.7976931348623157e+308" << "1.7976931348623157e308" << true;
    QTest::newRow("beyond-double") << false << "1e400" << "1e400" << false;
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
}

void TestVariableEditor::refusedEntries_data()
{
    QTest::addColumn<bool>("french");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message"); // its start, then the typed text it names; empty: accepted
    QTest::newRow("accepted") << false << "rate_2" << "1.5" << "";
    QTest::newRow("accepted-french") << true << "taux" << "1,5" << "";
    QTest::newRow("name-empty") << false << "" << "1" << "Constant name: a name is needed";
    QTest::newRow("name-digit-first") << false << "1.1" << "1" << "Constant name: 1.1";
    QTest::newRow("name-operator") << false << "a-b" << "1" << "Constant name: a-b";
    QTest::newRow("name-blank") << false << "a b" << "1" << "Constant name: a b";
    QTest::newRow("name-row") << false << "i" << "1" << "Constant name: i";
    QTest::newRow("name-column") << false << "j" << "1" << "Constant name: j";
    QTest::newRow("name-function") << false << "sqrt" << "1" << "Constant name: sqrt";
    QTest::newRow("name-aggregate") << false << "sum" << "1" << "Constant name: sum";
    QTest::newRow("name-number-word") << false << "inf" << "1" << "Constant name: inf";
    QTest::newRow("name-dataset") << false << "Input1" << "1" << "Constant name: Input1";
    QTest::newRow("name-dataset-size") << false << "NR_Input1" << "1" << "Constant name: NR_Input1";
    QTest::newRow("value-empty") << false << "x" << " " << "Constant value: type a number";
    QTest::newRow("value-english-group") << false << "x" << "1,1" << "Constant value: 1,1";
    QTest::newRow("value-french-group") << true << "x" << "1.234,5" << "Valeur de la constante : 1.234,5";
    QTest::newRow("value-text") << false << "x" << "abc" << "Constant value: abc";
}

// Ok closes the dialog only on a name formulas can read and a number typed in the interface language.
void TestVariableEditor::refusedEntries()
{
    QFETCH(bool, french);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, message);
    KXTest::LanguageScope language(french);
    KXEquationVariableDialog dialog;
    dialog.setVariableModel(&m_variables);
    dialog.findChild<QLineEdit*>("nameEdit")->setText(name);
    dialog.findChild<QLineEdit*>("valueEdit")->setText(value);
    dialog.accept();
    QCOMPARE(dialog.result(), message.isEmpty() ? int(QDialog::Accepted) : int(QDialog::Rejected));
    const QString shown = dialog.findChild<QLabel*>("messageLabel")->text();
    QVERIFY2(message.isEmpty() ? shown.isEmpty() : shown.startsWith(message), qPrintable(shown));
}

QTEST_MAIN(TestVariableEditor)
#include "tst_variableeditor.moc"
