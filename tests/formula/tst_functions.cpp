#include "KXDataModel.h"
#include "KXEquationCalculationCommand.h"
#include "KXEquationDataCommand.h"
#include "KXEquationMathCommand.h"
#include "KXEquationOperatorCommand.h"
#include "KXFormulaCheck.h"

#include <limits>
#include <typeinfo>

using KXFormulaCheck::errorValue;

// The math functions, data access, headers, conditions, rand and val, and how calls are dispatched.
class TestFunctions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void values_data();
    void values();
    void randomNumbers_data();
    void randomNumbers();
    void calls_data();
    void calls();
    void errors_data();
    void errors();
    void datasetNamedIfHidesCondition();

private:
    KXEquationVariableModel m_model;
    std::unique_ptr<KXDataModelGeneric> m_table;
};

namespace {
template <class Node>
QByteArray node()
{
    return QByteArray(typeid(Node).name());
}
}

// Input1: 3 x 3, headed C0 to C2 and R0 to R2; Input2 and "abs", named like a function, have no table.
void TestFunctions::initTestCase()
{
    const QVariantList cells = {1.5, "3,5", "3.5", "", QVariant(), "abc", true, 7, 2.0};
    m_table = KXTest::makeTable(3, 3);
    for (int k = 0; k < cells.size(); ++k)
        m_table->setData(m_table->index(k / 3, k % 3), cells.at(k), KXValueRole);
    m_model.addVariable(QStringLiteral("Input1"), m_table.get(), QString());
    for (const char* name : {"Input2", "abs"})
        m_model.addVariable(QLatin1String(name), static_cast<QAbstractItemModel*>(nullptr), QString());
    const struct { const char* name; double value; } constants[] = {{"i", 1}, {"j", 2}, {"a", 3}, {"c", 1}, {"d", 1}};
    for (const auto& constant : constants)
        m_model.addVariable(QLatin1String(constant.name), constant.value);
}

void TestFunctions::values_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<bool>("range");

    const QVariant noValue(-9999);
    const QVariant unreachable = errorValue(QStringLiteral("Input1() : Line number unreachable"));
    const QVariant notNumber = errorValue(QStringLiteral("sqrt(): invalid syntax"));
    const auto error = [](const char* message) { return errorValue(QString::fromUtf8(message)); };

    // Math functions, angles in degrees
    QTest::newRow("sqrt-text-number") << "sqrt(\"16\")" << QVariant(4.0) << false;
    QTest::newRow("sin-degrees") << "sin(90)" << QVariant(1.0) << false;
    QTest::newRow("asin-inverts-sin") << "asin(sin(30))" << QVariant(30.0) << false;
    QTest::newRow("atan-degrees") << "atan(1)" << QVariant(45.0) << false;
    QTest::newRow("log") << "log(1000)" << QVariant(3.0) << false;
    QTest::newRow("abs") << "abs(-2.5)" << QVariant(2.5) << false;
    QTest::newRow("floor") << "floor(-2.5)" << QVariant(-3.0) << false;
    QTest::newRow("ceil") << "ceil(-2.5)" << QVariant(-2.0) << false;
    QTest::newRow("exp") << "exp(0)" << QVariant(1.0) << false;
    QTest::newRow("round-half-up") << "round(2.5)" << QVariant(3) << false;
    QTest::newRow("round-negative-half") << "round(-2.5)" << QVariant(-2) << false;
    QTest::newRow("round-bool") << "round(1<2)" << QVariant(1) << false;
    QTest::newRow("round-no-value") << "round(NO_VALUE)" << noValue << false;
    // Beyond the int range, and NaN, come back unchanged as doubles
    QTest::newRow("round-past-int-max") << "round(65536*32768-0.5)" << QVariant(2147483647.5) << false;
    QTest::newRow("round-int-min-half") << "round(0-65536*32768-0.5)" << QVariant(-2147483647 - 1) << false;
    QTest::newRow("round-nan") << "round(0/0)" << QVariant(std::numeric_limits<double>::quiet_NaN()) << false;
    QTest::newRow("sign-zero") << "sign(0)" << QVariant(1) << false;
    QTest::newRow("sign-no-value") << "sign(NO_VALUE)" << noValue << false;
    QTest::newRow("sqrt-error") << "sqrt(Input1(0,1))" << unreachable << false;
    // Data access
    QTest::newRow("data-decimal-comma") << "Input1(1,2)" << QVariant(3.5) << false;
    QTest::newRow("data-decimal-point-stays-text") << "Input1(1,3)" << QVariant(QStringLiteral("3.5")) << false;
    QTest::newRow("data-empty-text") << "Input1(2,1)" << noValue << false;
    QTest::newRow("data-no-value") << "Input1(2,2)" << noValue << false;
    QTest::newRow("data-int") << "Input1(NR_Input1,2)" << QVariant(7) << false;
    QTest::newRow("data-cell-position") << "Input1(i,j)" << QVariant(3.5) << true;
    QTest::newRow("data-row-beyond") << "Input1(4,1)" << unreachable << false;
    QTest::newRow("data-index-error") << "Input1(sqrt(\"a\"),1)" << notNumber << false;
    // Headers
    QTest::newRow("rowName") << "rowName(Input1,2)" << QVariant(QStringLiteral("R1")) << false;
    QTest::newRow("colName-one-past-end") << "colName(Input1,4)" << QVariant(QString("")) << false;
    // Conditions
    QTest::newRow("if-other-branch-not-evaluated") << "if(1<2;2;Input1(0,0))" << QVariant(2.0) << false;
    QTest::newRow("if-nested-in-true-branch") << "if(a>1;if(a>5;1;2);3)" << QVariant(2.0) << false;
    // A loop in a branch takes the compiled program's scalar path.
    QTest::newRow("if-no-value-compared") << "if(NO_VALUE<i;sum(k,1,2,k);2)+if(NO_VALUE<=j;1;2)" << QVariant(4.0) << true;
    // Constant values
    QTest::newRow("val") << "val(PI)" << QVariant(3.141592653589793) << false;
    QTest::newRow("val-not-constant") << "val(nothing)" << QVariant(-9999.0) << false;
    // Messages of error values
    const char* keywords[] = {"sin", "asin", "cos", "acos", "tan", "atan", "log",
                              "ln", "abs", "floor", "ceil", "exp", "round", "sign"};
    QTest::newRow("sqrt") << "sqrt(\"abc\")" << notNumber << false;
    for (const char* keyword : keywords) {
        const QString name = QLatin1String(keyword);
        QTest::addRow("%s", keyword) << name + "(\"abc\")" << errorValue(name + "(): Invalid syntax") << false;
    }
    QTest::newRow("data-row-zero") << "Input1(0,1)" << unreachable << false;
    QTest::newRow("data-column-zero") << "Input1(1,0)" << error("Input1() : Column number unreachable") << false;
    QTest::newRow("data-row-text") << "Input1(\"a\",1)" << error("Input1(): Invalid arguments") << false;
    QTest::newRow("data-no-table") << "Input2(1,1)" << error("Input2() : Invalid dataset Input2") << false;
    QTest::newRow("colName-zero") << "colName(Input1,0)" << error("colName(): invalid arguments") << false;
    QTest::newRow("colName-unknown") << "colName(X,1)" << error("X: invalid argument or variable") << false;
    QTest::newRow("rowName-unknown") << "rowName(X,1)" << error("X(): invalid arguments or variable") << false;
    QTest::newRow("rand-reversed") << "rand(5,1)" << error("rand(): Invalid arguments") << false;
    QTest::newRow("rand-text-start") << "rand(\"a\",1)" << error("rand(): Invalid minimum range") << false;
    QTest::newRow("if-number") << "if(1;2;3)" << error("if(): first condition argument is not a boolean") << false;
    QTest::newRow("if-condition-error") << "if(Input1(0,1)>1;2;3)" << error("if(): first argument condition is not valid") << false;
}

void TestFunctions::values()
{
    QFETCH(QString, formula);
    QFETCH(QVariant, expected);
    QFETCH(bool, range);

    // The text forms of "<" (a markup entity) and of quoted texts (no quotes) do not read back.
    const bool readsBack = !formula.contains(QLatin1Char('<')) && !formula.contains(QLatin1Char('"'));
    const QString problem = KXFormulaCheck::check(m_model, formula, expected, readsBack);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const auto tree = KXFormulaCheck::read(m_model, formula);
    QCOMPARE(tree->isRangeVariable(), range);
}

void TestFunctions::randomNumbers_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest"); // included for integers, excluded for doubles
    QTest::addColumn<bool>("range");

    QTest::newRow("unbounded") << "rand()" << int(QMetaType::Int) << 0.0 << 32767.0 << false;
    QTest::newRow("bounded") << "rand(10,20)" << int(QMetaType::Double) << 10.0 << 20.0 << false;
    QTest::newRow("cell-position") << "rand(i,10)" << int(QMetaType::Double) << 1.0 << 10.0 << true;
}

void TestFunctions::randomNumbers()
{
    QFETCH(QString, formula);
    QFETCH(int, kind);
    QFETCH(double, lowest);
    QFETCH(double, highest);
    QFETCH(bool, range);

    const auto tree = KXFormulaCheck::read(m_model, formula);
    QCOMPARE(tree->isRangeVariable(), range);
    const std::unique_ptr<KXEquationCommand> copy(tree->clone(&m_model));
    for (const QVariant& value : {tree->evaluate(), copy->evaluate()}) {
        QCOMPARE(value.userType(), kind);
        QVERIFY(value.toDouble() >= lowest);
        QVERIFY(kind == QMetaType::Int ? value.toDouble() <= highest : value.toDouble() < highest);
    }
}

void TestFunctions::calls_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("text");

    QTest::newRow("abs-function-hides-dataset") << "abs(4)" << node<KXEquationMathABSCommand>() << "abs(4)";
    QTest::newRow("val-keeps-its-text") << "val(a;b,c)" << node<KXEquationValCommand>() << "val(a;b,c)";
    QTest::newRow("double-parentheses") << "sqrt((4))" << node<KXEquationMathSQRTCommand>() << "sqrt(4)";
    QTest::newRow("sum-commas-stay-in-expression") << "sum(k,1,10,Input1(k,1))"
                                                   << node<KXEquationCalculationSumCommand>()
                                                   << "sum(k,1,10,Input1(k,1))";
    QTest::newRow("sum-selection") << "sum([a|1:3|2])" << node<KXEquationCalculationSumSelectionCommand>()
                                   << "sum([a|1:3|2])";
    QTest::newRow("var-two-parts-is-selection") << "var(Input1(1,1))"
                                                << node<KXEquationCalculationVarSelectionCommand>()
                                                << "var(Input1(1,1))";
}

void TestFunctions::calls()
{
    QFETCH(QString, formula);
    QFETCH(QByteArray, kind);
    QFETCH(QString, text);

    const auto tree = KXFormulaCheck::read(m_model, formula);
    QCOMPARE(QByteArray(typeid(*tree).name()), kind);
    QCOMPARE(tree->toString(), text);
}

void TestFunctions::errors_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("english");

    QTest::newRow("colName-one-part") << "colName(Input1)" << "colName(): invalid arguments";
    QTest::newRow("rand-nested-comma") << "rand(Input1(1,1),2)" << "rand(): Invalid arguments";
    QTest::newRow("data-bare") << "Input1" << "Input1(): Invalid arguments";
    QTest::newRow("if-two-parts") << "if(c;1)" << "if(): Invalid arguments";
    QTest::newRow("sqrt-bare") << "sqrt" << "Expression to evaluate is empty";
    QTest::newRow("names-case-sensitive") << "SQRT(4)" << "Invalid syntax: SQRT(4)";
    QTest::newRow("math-keeps-commas") << "abs(1,1)" << "Invalid syntax: 1,1";
    QTest::newRow("if-nested-in-false-branch") << "if(c;1;if(d;2;3))" << "Invalid parenthesis count";
    QTest::newRow("sum-comma-in-end") << "sum(k,1,Input1(1,1),k)" << "Invalid parenthesis count";
}

void TestFunctions::errors()
{
    QFETCH(QString, formula);
    QFETCH(QString, english);

    QCOMPARE(KXFormulaCheck::raisedBy(m_model, formula), english);
}

void TestFunctions::datasetNamedIfHidesCondition()
{
    KXEquationVariableModel variables(&m_model);
    variables.addVariable(QStringLiteral("if"), static_cast<QAbstractItemModel*>(nullptr), QString());
    const auto tree = KXFormulaCheck::read(variables, QStringLiteral("if(1,2)"));
    QCOMPARE(QByteArray(typeid(*tree).name()), node<KXEquationDataCommand>());
}

QTEST_GUILESS_MAIN(TestFunctions)
#include "tst_functions.moc"
