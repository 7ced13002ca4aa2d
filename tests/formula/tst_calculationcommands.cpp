#include "KXDataModel.h"
#include "KXFormulaCheck.h"


#include <limits>

using KXFormulaCheck::errorValue;

// Aggregates over a loop or a data selection, and how a selection reads its cells.
class TestCalculationCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void ranged_data();
    void ranged();
    void loopVariableRemoved_data();
    void loopVariableRemoved();
    void loopVariableRemovedWhenReadingFails_data();
    void loopVariableRemovedWhenReadingFails();
    void selection_data();
    void selection();
    void readsFirstVariableInNameOrder();
    void keepsRawValues();
    void selectionMessages();

private:
    KXEquationVariableModel m_model;
    std::unique_ptr<KXDataModelGeneric> m_table;
};

namespace {
// A table whose cell in row r and column c (1-based) holds 10 r + c, with the given headers.
std::unique_ptr<KXDataModelGeneric> table(const QStringList& columns,
                                          const QStringList& rows = {"1", "2", "3", "4", "5"})
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
}

// Columns A to D, rows 1 to 5; row 1 mixes numbers and a text, row 2 starts with a text, row 4
// holds an empty cell, the no-value marker and a decimal comma.
void TestCalculationCommands::init()
{
    const QVariantList cells = {1.0, 2.0, "abc", 3.0,     "x", 5.0, 7.0, 9.0, 2.0, 4.0,
                                4.0, 4.0, 10.0, QVariant(), -9999, "3,5", 5.0, 6.0, 7.0, 8.0};
    m_model = KXEquationVariableModel();
    m_table = table({"A", "B", "C", "D"});
    for (int k = 0; k < cells.size(); ++k)
        m_table->setData(m_table->index(k / 4, k % 4), cells.at(k), KXValueRole);
    m_model.addVariable(QStringLiteral("Input1"), m_table.get(), QString());
    m_model.addVariable(QStringLiteral("i"), 2.0);
}

void TestCalculationCommands::ranged_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<bool>("range");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QVariant noValue(-9999);
    const QVariant noBounds(false);
    const QVariant notNumeric = errorValue(QStringLiteral("sum(): Returned value is not numeric"));
    const QVariant varMessage = errorValue(QStringLiteral("stdDev() or var(): Invalid expression"));
    const double mean = 0.214286; // 3/14 written with six digits
    const double sixDigitVariance = (1.0 / 7 - mean) * (1.0 / 7 - mean) + (2.0 / 7 - mean) * (2.0 / 7 - mean);

    QTest::newRow("sum") << "sum(x,1,10,x)" << QVariant(55.0) << false;
    QTest::newRow("stdDev") << "stdDev(x,1,3,x)" << QVariant(1.0) << false;
    QTest::newRow("loop-variable-k-counts-as-cell") << "sum(k,1,3,k)" << QVariant(6.0) << true;
    QTest::newRow("bound-from-cell") << "sum(x,1,i,x)" << QVariant(3.0) << true;
    QTest::newRow("rounded-bounds") << "sum(x,1.5,3.5,x)" << QVariant(9.0) << false;
    QTest::newRow("sum-empty") << "sum(x,5,1,x)" << QVariant(0.0) << false;
    QTest::newRow("prod-empty") << "prod(x,5,1,x)" << QVariant(1.0) << false;
    QTest::newRow("min-empty-value-at-start") << "min(x,5,1,x)" << QVariant(5.0) << false;
    QTest::newRow("average-empty-by-zero") << "average(x,5,4,x)" << QVariant(nan) << false;
    QTest::newRow("var-text-bound") << "var(x,\"a\",3,x)" << noBounds << false;
    // Bounds that do not fit an int fail rather than wrap
    QTest::newRow("sum-bound-beyond-int") << "sum(x,1,4294967297,x)" << notNumeric << false;
    QTest::newRow("sum-bound-nan") << "sum(x,1,0/0,1)" << notNumeric << false;
    QTest::newRow("prod-bound-minus-inf") << "prod(x,-1/0,1,x)" << noBounds << false;
    QTest::newRow("bound-error") << "sum(x,sqrt(\"a\"),3,x)" << errorValue(QStringLiteral("sqrt(): invalid syntax"))
                                 << false;
    QTest::newRow("sum-no-value") << "sum(x,1,3,if(x=2;NO_VALUE;x))" << noValue << false;
    QTest::newRow("min-skips-no-value") << "min(x,1,3,if(x=2;NO_VALUE;x))" << QVariant(1.0) << false;
    QTest::newRow("min-no-value-at-start") << "min(x,1,3,if(x=1;NO_VALUE;x))" << QVariant(-9999.0) << false;
    QTest::newRow("var-single-value") << "var(x,2,2,x)" << varMessage << false;
    QTest::newRow("var-six-digit-mean") << "var(x,1,2,x/7)" << QVariant(sixDigitVariance) << false;
    QTest::newRow("sum-not-number") << "sum(x,1,3,\"a\")" << errorValue(QStringLiteral("sum(): Invalid syntax")) << false;
    QTest::newRow("max-not-number-later") << "max(x,1,3,if(x<2;x;\"a\"))"
                                          << errorValue(QStringLiteral("max(): Invalid syntax")) << false;
    QTest::newRow("var-caught-reading-error") << "var(x,1,3,x-10)" << errorValue(QStringLiteral("Invalid syntax: x-10-")) << false;
    // var reads its values through a local average; a deviations formula it cannot read comes back as the value.
    QTest::newRow("var-through-average") << "var(x,1,3,\"a\")" << errorValue(QStringLiteral("average(): Invalid syntax")) << false;
    QTest::newRow("var-no-value") << "var(x,1,3,if(x=2;NO_VALUE;x))" << errorValue(QStringLiteral("Invalid syntax: if(x=2;NO_VALUE;x)-")) << false;
    QTest::newRow("loop-over-cell-constant") << "sum(i,1,3,i)" << QVariant(6.0) << true;
    QTest::newRow("expression-error") << "sum(x,1,3,if(x;1;2))"
                                      << errorValue(QStringLiteral("if(): first condition argument is not a boolean")) << false;
}

void TestCalculationCommands::ranged()
{
    QFETCH(QString, formula);
    QFETCH(QVariant, expected);
    QFETCH(bool, range);

    KXTest::MessageCapture capture;
    const QString problem = KXFormulaCheck::check(m_model, formula, expected, !formula.contains(QLatin1Char('"')));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const auto tree = KXFormulaCheck::read(m_model, formula);
    QCOMPARE(tree->isRangeVariable(), range);
}

// Every row of the ranged table whose bounds are read removes its loop variable, errors included;
// unreadable bounds leave it (stdDev's inner var is destroyed, and removes it).
void TestCalculationCommands::loopVariableRemoved_data()
{
    ranged_data();
}

void TestCalculationCommands::loopVariableRemoved()
{
    QFETCH(QString, formula);

    const QString name = formula.section(QLatin1Char('('), 1).section(QLatin1Char(','), 0, 0);
    KXTest::MessageCapture capture;
    const auto tree = KXFormulaCheck::read(m_model, formula);
    QVERIFY(m_model.variableConstantExist(name));
    KXEquationVariableModel cellModel(&m_model);
    const std::unique_ptr<KXEquationCommand> copy(tree->clone(&cellModel));
    static const QSet<QByteArray> boundsFail = {"var-text-bound", "bound-error",
                                                "sum-bound-beyond-int", "sum-bound-nan",
                                                "prod-bound-minus-inf"};
    const bool kept = boundsFail.contains(QTest::currentDataTag());
    tree->evaluate();
    QCOMPARE(m_model.variableConstantExist(name), kept);
    copy->evaluate();
    QCOMPARE(cellModel.variableConstantExist(name), kept);
}

void TestCalculationCommands::loopVariableRemovedWhenReadingFails_data()
{
    QTest::addColumn<QString>("formula");

    QTest::newRow("empty-end") << "sum(x,1,,x)";
    QTest::newRow("bad-expression") << "var(x,1,3,x+)";
    QTest::newRow("inner-fails") << "sum(x,1,3,prod(y,1,,y))";
}

void TestCalculationCommands::loopVariableRemovedWhenReadingFails()
{
    QFETCH(QString, formula);

    QVERIFY_EXCEPTION_THROWN(KXFormulaCheck::read(m_model, formula), KXError);
    QVERIFY(!m_model.variableConstantExist(QStringLiteral("x")));
    QVERIFY(!m_model.variableConstantExist(QStringLiteral("y")));
}

void TestCalculationCommands::selection_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QStringList>("columns"); // of a table of 10 r + c; none: the mixed table

    const QVariant noValue(-9999);
    const QStringList mixed;

    // Row 1: 1, 2, a text, 3; the text is skipped but counts in the average.
    QTest::newRow("sum-mixed") << "sum([A|1:D|1])" << QVariant(6.0) << mixed;
    QTest::newRow("average-mixed") << "average([A|1:D|1])" << QVariant(1.5) << mixed;
    QTest::newRow("var-mixed") << "var([A|1:D|1])" << QVariant(2.75 / 3) << mixed;
    // Row 2: a text, then 5 and 7; the text seeds the extremes as 0.
    QTest::newRow("min-text-first") << "min([A|2:C|2])" << QVariant(0.0) << mixed;
    QTest::newRow("max-text-first") << "max([A|2:C|2])" << QVariant(7.0) << mixed;
    QTest::newRow("stdDev") << "stdDev([A|3:D|3])" << QVariant(1.0) << mixed;
    // Row 4: 10, an empty cell, the no-value marker as an ordinary number, a decimal comma skipped.
    QTest::newRow("sum-no-value-is-a-number") << "sum([A|4:D|4])" << QVariant(-9989.0) << mixed;
    QTest::newRow("sum-empty") << "sum([C|1:A|5])" << QVariant(0.0) << mixed;
    QTest::newRow("prod-empty") << "prod([C|1:A|5])" << QVariant(1.0) << mixed;
    QTest::newRow("average-empty") << "average([C|1:A|5])" << noValue << mixed;
    QTest::newRow("min-empty") << "min([C|1:A|5])" << noValue << mixed;
    QTest::newRow("sum-one-cell-is-no-list") << "sum([B|2:B|2])" << QVariant(0.0) << mixed;
    QTest::newRow("error") << "sum(Input1(0,1))" << errorValue(QStringLiteral("Input1() : Line number unreachable")) << mixed;
    // In a table whose cell in row r and column c holds 10 r + c, rows 1 to 5
    const QStringList abc = {"A", "B", "C"};
    const QVariant whole = QVariantList{11.0, 12.0, 13.0, 21.0, 22.0, 23.0, 31.0, 32.0,
                                        33.0, 41.0, 42.0, 43.0, 51.0, 52.0, 53.0};
    QTest::newRow("whole-table-row-by-row") << "[A|1:C|5]" << whole << abc;
    QTest::newRow("one-cell-is-the-value") << "[B|2:B|2]" << QVariant(22.0) << abc;
    QTest::newRow("columns-reversed-empty") << "[C|1:A|5]" << QVariant(QVariantList()) << abc;
    QTest::newRow("unknown-header-first-column") << "[Z|1:C|5]" << whole << abc;
    QTest::newRow("last-equal-header-wins") << "[A|1:A|1]" << QVariant(13.0) << QStringList{"A", "B", "A"};
    QTest::newRow("only-blanks-top-left") << "   " << QVariant(11.0) << abc;
}

void TestCalculationCommands::selection()
{
    QFETCH(QString, formula);
    QFETCH(QVariant, expected);
    QFETCH(QStringList, columns);

    const auto model = table(columns.isEmpty() ? QStringList{"A"} : columns);
    KXEquationVariableModel own;
    own.addVariable(QStringLiteral("Input1"), model.get(), QString());
    KXEquationVariableModel& variables = columns.isEmpty() ? m_model : own;
    const QString problem = KXFormulaCheck::check(variables, formula, expected, !formula.trimmed().isEmpty());
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(!KXFormulaCheck::read(variables, formula)->isRangeVariable());
}

void TestCalculationCommands::readsFirstVariableInNameOrder()
{
    const auto first = table({"A"}, {"1"});
    const auto second = table({"A", "B"}, {"1"});
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input2"), second.get(), QString());
    variables.addVariable(QStringLiteral("Input1"), first.get(), QString());
    QCOMPARE(KXFormulaCheck::read(variables, QStringLiteral("[A|1:B|1]"))->evaluate(), QVariant(11.0));
}

// Cells are read as stored, without the no-value marker that single data accesses give.
void TestCalculationCommands::keepsRawValues()
{
    const auto model = table({"A", "B"}, {"1"});
    model->setData(model->index(0, 0), QString(""), KXValueRole);
    model->setData(model->index(0, 1), QVariant(), KXValueRole);
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input1"), model.get(), QString());
    const QVariant value = KXFormulaCheck::read(variables, QStringLiteral("[A|1:B|1]"))->evaluate();
    QCOMPARE(value.toList(), (QVariantList{QString(""), QVariant()}));
}

// Without a dataset variable, or when the first one has no table, a selection cannot be read.
void TestCalculationCommands::selectionMessages()
{
    const auto model = table({"A"}, {"1"});
    KXEquationVariableModel variables;
    const QString formula = QStringLiteral("[A|1:A|1]");
    const QString expected = QStringLiteral("Error in the interpretation of data selection");
    QCOMPARE(KXFormulaCheck::messageOf(variables, formula), expected);
    variables.addVariable(QStringLiteral("Input0"), static_cast<QAbstractItemModel*>(nullptr), QString());
    variables.addVariable(QStringLiteral("Input1"), model.get(), QString());
    QCOMPARE(KXFormulaCheck::messageOf(variables, formula), expected);
}

QTEST_GUILESS_MAIN(TestCalculationCommands)
#include "tst_calculationcommands.moc"
