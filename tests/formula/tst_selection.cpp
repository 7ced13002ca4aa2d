#include "KXDataModel.h"
#include "KXEquationDataSelectionCommand.h"
#include "KXFormulaCheck.h"

#include <QtTest>

#include <memory>

using KXFormulaCheck::errorValue;

class KXEquationDataSelectionCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void readsFirstVariableInNameOrder();
    void keepsRawValues();
    void textFormKeepsBlanks();
    void messages_data();
    void messages();
};

namespace {
// A table whose cell in row r and column c (1-based) holds 10 r + c, with the given headers.
std::unique_ptr<KXDataModelGeneric> table(const QStringList& columns, const QStringList& rows)
{
    auto model = std::make_unique<KXDataModelGeneric>();
    model->createEmpty(columns.size(), rows.size());
    for (int row = 0; row < rows.size(); ++row) {
        model->setHeaderData(row, Qt::Vertical, rows.at(row), KXValueRole);
        for (int column = 0; column < columns.size(); ++column)
            model->setData(model->index(row, column), 10.0 * (row + 1) + column + 1, KXValueRole);
    }
    for (int column = 0; column < columns.size(); ++column)
        model->setHeaderData(column, Qt::Horizontal, columns.at(column), KXValueRole);
    return model;
}

QVariant cells(std::initializer_list<double> values)
{
    QVariantList list;
    for (const double value : values)
        list.append(value);
    return QVariant(list);
}
}

void KXEquationDataSelectionCommandTest::values_data()
{
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("expected");

    const QStringList abc = {"A", "B", "C"};
    const QStringList oneToFive = {"1", "2", "3", "4", "5"};
    const QVariant whole = cells({11, 12, 13, 21, 22, 23, 31, 32, 33, 41, 42, 43, 51, 52, 53});

    QTest::newRow("whole-table-row-by-row") << abc << oneToFive << "[A|1:C|5]" << whole;
    QTest::newRow("block") << abc << oneToFive << "[B|2:C|3]" << cells({22, 23, 32, 33});
    QTest::newRow("one-cell-is-the-value") << abc << oneToFive << "[B|2:B|2]" << QVariant(22.0);
    QTest::newRow("columns-reversed-empty") << abc << oneToFive << "[C|1:A|5]" << QVariant(QVariantList());
    QTest::newRow("rows-reversed-empty") << abc << oneToFive << "[A|5:C|1]" << QVariant(QVariantList());
    QTest::newRow("unknown-header-first-column") << abc << oneToFive << "[Z|1:C|5]" << whole;
    QTest::newRow("unknown-end-first-row") << abc << oneToFive << "[A|1:A|9]" << QVariant(11.0);
    QTest::newRow("last-equal-header-wins") << QStringList{"A", "B", "A"} << oneToFive << "[A|1:A|1]"
                                            << QVariant(13.0);
    QTest::newRow("headers-case-sensitive") << abc << oneToFive << "[a|1:C|1]" << cells({11, 12, 13});
    QTest::newRow("only-blanks-top-left") << abc << oneToFive << "   " << QVariant(11.0);
    QTest::newRow("inside-sum") << abc << oneToFive << "sum([A|1:C|5])" << QVariant(480.0);
    QTest::newRow("inside-average-empty") << abc << oneToFive << "average([C|1:A|5])" << QVariant(-9999);
}

void KXEquationDataSelectionCommandTest::values()
{
    QFETCH(QStringList, columns);
    QFETCH(QStringList, rows);
    QFETCH(QString, formula);
    QFETCH(QVariant, expected);

    const auto model = table(columns, rows);
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input1"), model.get(), QString());
    const QString problem = KXFormulaCheck::check(variables, formula, expected, !formula.trimmed().isEmpty());
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(!KXFormulaCheck::read(variables, formula)->isRangeVariable());
}

void KXEquationDataSelectionCommandTest::readsFirstVariableInNameOrder()
{
    const auto first = table({"A"}, {"1"});
    const auto second = table({"A", "B"}, {"1"});
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input2"), second.get(), QString());
    variables.addVariable(QStringLiteral("Input1"), first.get(), QString());
    QCOMPARE(KXFormulaCheck::read(variables, QStringLiteral("[A|1:B|1]"))->evaluate(), QVariant(11.0));
}

// Cells are read as stored, without the no-value marker that single data accesses give.
void KXEquationDataSelectionCommandTest::keepsRawValues()
{
    const auto model = table({"A", "B"}, {"1"});
    model->setData(model->index(0, 0), QString(""), KXValueRole);
    model->setData(model->index(0, 1), QVariant(), KXValueRole);
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input1"), model.get(), QString());
    const QVariant value = KXFormulaCheck::read(variables, QStringLiteral("[A|1:B|1]"))->evaluate();
    QCOMPARE(value.toList(), (QVariantList{QString(""), QVariant()}));
}

void KXEquationDataSelectionCommandTest::textFormKeepsBlanks()
{
    KXEquationVariableModel variables;
    const KXEquationDataSelectionCommand selection(&variables, QStringLiteral("[A |1: C|5 ]"));
    QCOMPARE(selection.toString(), QStringLiteral("[A |1: C|5 ]"));
}

void KXEquationDataSelectionCommandTest::messages_data()
{
    QTest::addColumn<bool>("withVariable");

    QTest::newRow("no-dataset-variable") << false;
    QTest::newRow("first-variable-without-table") << true;
}

void KXEquationDataSelectionCommandTest::messages()
{
    QFETCH(bool, withVariable);

    const auto model = table({"A"}, {"1"});
    KXEquationVariableModel variables;
    if (withVariable) {
        variables.addVariable(QStringLiteral("Input0"), static_cast<QAbstractItemModel*>(nullptr), QString());
        variables.addVariable(QStringLiteral("Input1"), model.get(), QString());
    }
    const QString formula = QStringLiteral("[A|1:A|1]");
    QCOMPARE(KXFormulaCheck::messageOf(variables, formula), QStringLiteral("Error in the interpretation of data selection"));
    KXTest::LanguageScope scope(TApplicationTranslator::French);
    QCOMPARE(KXFormulaCheck::messageOf(variables, formula),
             QStringLiteral("Erreur lors de l'interprétation de la sélection de données"));
}

QTEST_GUILESS_MAIN(KXEquationDataSelectionCommandTest)
#include "tst_selection.moc"
