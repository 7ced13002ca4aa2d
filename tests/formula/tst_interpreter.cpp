#include "KXFormulaCheck.h"
#include "KXEquationReadHint.h"

#include <QtConcurrent>

#include <limits>
#include <typeinfo>

namespace {
const double inf = std::numeric_limits<double>::infinity();

QString nested(const char* open, const char* inner, int depth)
{
    return QString::fromUtf8(open).repeated(depth) + QLatin1String(inner) + QStringLiteral(")").repeated(depth);
}
}

// Reading formulas, the operators, error values and the rules every command node keeps.
class TestInterpreter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { KXFormulaCheck::addTableConstants(m_model); }
    void reads_data();
    void reads();
    void raises_data();
    void raises();
    void hints_data();
    void hints();
    void treesWithinTheLimit_data();
    void treesWithinTheLimit();
    void operatorValues_data();
    void operatorValues();
    void getError_data();
    void getError();
    void cloneReadsTargetModel();

private:
    KXEquationVariableModel m_model;
};

void TestInterpreter::reads_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("form");
    QTest::addColumn<bool>("range");

    QTest::newRow("outer-pair") << "(1+2)" << QVariant(3.0) << "OperatorPlus" << "1+2" << false;
    QTest::newRow("minus-left-assoc") << "1-2-3" << QVariant(-4.0) << "OperatorMinus" << "1-2-3" << false;
    QTest::newRow("power-left-assoc") << "2^3^2" << QVariant(64.0) << "OperatorPower" << "2^3^2" << false;
    QTest::newRow("power-same-level-as-times") << "2*3^2" << QVariant(36.0) << "OperatorPower" << "2*3^2" << false;
    QTest::newRow("plus-before-equal") << "1+1=2" << QVariant(true) << "OperatorEqual" << "1+1=2" << false;
    QTest::newRow("less-equal-before-and") << "1<=2AND2>=1" << QVariant(true) << "OperatorAND" << "1<=2AND2>=1" << false;
    QTest::newRow("less-then-less-equal") << "a<b<=c" << QVariant(true) << "OperatorInferiorEqual" << "a&lt;b<=c"
                                          << false;
    QTest::newRow("and-inside-names") << "BANDD" << QVariant() << "OperatorAND" << "BANDD" << false;
    QTest::newRow("or-weakest") << "1<2OR2<1" << QVariant(true) << "OperatorOR" << "1&lt;2OR2&lt;1" << false;
    QTest::newRow("exponent") << "1e-5" << QVariant(1e-5) << "DoubleConstant" << "1e-05" << false;
    QTest::newRow("blanks-removed") << " 1 +\t2 " << QVariant(3.0) << "OperatorPlus" << "1+2" << false;
    QTest::newRow("negated-constant") << "-x+1" << QVariant(-2.0) << "OperatorPlus" << "x+1" << false;
    QTest::newRow("whole-name-with-or") << "ORDER" << QVariant(5.0) << "DataModelConstant" << "ORDER" << false;
    // Constants: i, j, k and l are cell positions and loop variables, other names are not
    QTest::newRow("negated-no-value") << "-c" << QVariant(-0.0) << "DataModelConstant" << "c" << false;
    QTest::newRow("cell-row") << "i" << QVariant(4.0) << "DataModelConstant" << "i" << true;
    QTest::newRow("cell-column-negated") << "-j" << QVariant(-5.0) << "DataModelConstant" << "j" << true;
    QTest::newRow("loop-k") << "k" << QVariant(6.0) << "DataModelConstant" << "k" << true;
    QTest::newRow("two-texts-joined") << "\"1\"+\"2\"" << QVariant(QStringLiteral("12")) << "OperatorPlus" << "1+2" << false;
    QTest::newRow("empty-text") << "\"\"" << QVariant(QString(QLatin1String(""))) << "StringConstant" << "" << false;
    QTest::newRow("blanks-only") << "   " << QVariant() << "DataSelection" << "" << false;
    QTest::newRow("selection") << "[A|1:C|5]" << QVariant() << "DataSelection" << "[A|1:C|5]" << false;
}

void TestInterpreter::reads()
{
    QFETCH(QString, formula);
    QFETCH(QVariant, value);
    QFETCH(QString, root);
    QFETCH(QString, form);
    QFETCH(bool, range);

    auto tree = KXFormulaCheck::read(m_model, formula);
    const QString className = QString::fromLatin1(typeid(*tree).name());
    QVERIFY2(className.endsWith(QLatin1String("KXEquation") + root + QLatin1String("Command")), qPrintable(className));
    QCOMPARE(tree->toString(), form);
    QCOMPARE(tree->isRangeVariable(), range);
    const QString problem = value.isValid() ? KXFormulaCheck::check(m_model, formula, value, false) : QString();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestInterpreter::raises_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("marked"); // the formula with the failing characters between braces

    // Trees one level too deep, as calls, a chain and groups, or far too deep. They come first, so that a
    // depth left over from them would make the later rows fail. A chain or groups are marked where reading stopped.
    const QString calls = QStringLiteral(" 1 + ") + nested("abs( ", "1", 1001), far = nested("sqrt(", "1", 100000);
    QTest::newRow("deep-calls") << calls << "Expression too complex" << "{" + calls + "}";
    QTest::newRow("deep-far") << far << "Expression too complex" << "{" + far + "}";
    QTest::newRow("deep-chain") << QStringLiteral("+x").repeated(1001).mid(1) << "Expression too complex" << QString();
    QTest::newRow("deep-groups") << nested("1+(", "1", 1000) << "Expression too complex" << QString();
    QTest::newRow("empty") << "" << "Expression to evaluate is empty" << "{}";
    QTest::newRow("double-pair") << "((1+2))" << "Invalid syntax: ((1+2))" << "{((1+2))}";
    QTest::newRow("plus-minus") << "3+-2" << "Invalid syntax: 3+" << "3+{-}2";
    QTest::newRow("times-minus") << "2 * -x" << "Invalid syntax: 2*" << "2 * {-}x";
    QTest::newRow("equal-inferior") << "1=<2" << "Invalid syntax: 1=" << "1={<}2";
    QTest::newRow("missing-right-of-two-chars") << "a<=" << "Expression to evaluate is empty" << "a<={}";
    QTest::newRow("or-inside-longer-name") << "ORDER+1" << "Invalid syntax: ORDER+1" << "{ORDER+1}";
    QTest::newRow("decimal-comma") << "1,2" << "Invalid syntax: 1,2" << "{1,2}";
    QTest::newRow("exponent-in-product") << "2*1e-5" << "Invalid syntax: 1e" << "2*{1e}-5";
    QTest::newRow("parenthesis-in-text-ignored") << "(\")\"" << "Invalid parenthesis count" << "{(}\")\"";
    QTest::newRow("unknown-dataset") << "abs( Input3(i, 1) )" << "Invalid syntax: Input3(i,1)" << "abs( {Input3(i, 1)} )";
    QTest::newRow("unclosed-parenthesis") << "sqrt( 2 * (3 + 1)" << "Invalid parenthesis count" << "sqrt{(} 2 * (3 + 1)";
    QTest::newRow("if-bad-branch") << "if(a > 1; 2 +; 3)" << "Invalid syntax: 2+" << "if(a > 1; {2 +}; 3)";
    QTest::newRow("text-unclosed") << "\"ab\" + \"c" << "Invalid syntax: \"ab\" + \"c" << "{\"ab\" + \"c}";
    QTest::newRow("loop-expression") << "sum(q, 1, 3, q * zz)" << "Invalid syntax: zz" << "sum(q, 1, 3, q * {zz})";
}

void TestInterpreter::raises()
{
    QFETCH(QString, formula);
    QFETCH(QString, message);
    QFETCH(QString, marked);

    try {
        delete KXEquationInterpreter(&m_model).interpret(formula);
        QFAIL("read without error");
    } catch (const KXEquationReadError& error) {
        QCOMPARE(error.message(), message);
        QCOMPARE(error.text(), formula);
        if (marked.isNull())
            return;
        QString shown = formula;
        shown.insert(error.start() + error.length(), QLatin1Char('}'));
        shown.insert(error.start(), QLatin1Char('{'));
        QCOMPARE(shown, marked);
    }
}

void TestInterpreter::hints_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("hint");

    QTest::newRow("unknown-name") << "zz + 1" << "`zz` is not a constant, dataset or function";
    QTest::newRow("case-differs") << "order" << "`order` is not a constant, dataset or function; did you mean `ORDER`?";
    QTest::newRow("unknown-function") << "foo(i)" << "`foo` is not a function or dataset";
    QTest::newRow("near-function") << "2+sqr(4)" << "`sqr` is not a function or dataset; did you mean `sqrt`?";
    QTest::newRow("short-name-no-guess") << "ix + 1" << "`ix` is not a constant, dataset or function";
    QTest::newRow("equally-near") << "sim(1)" << "`sim` is not a function or dataset; did you mean `sin` or `sum`?";
    QTest::newRow("known-function-misused") << "sqrt(1;2)" << "";
    QTest::newRow("operator") << "3+-2" << "";
}

void TestInterpreter::hints()
{
    QFETCH(QString, formula);
    QFETCH(QString, hint);

    try {
        delete KXEquationInterpreter(&m_model).interpret(formula);
        QFAIL("read without error");
    } catch (const KXEquationReadError& error) {
        QCOMPARE(KXEquationReadHint::hint(error, m_model), hint);
    }
}

void TestInterpreter::treesWithinTheLimit_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<double>("value");

    QTest::newRow("chain-at-the-limit") << QStringLiteral("+x").repeated(1000).mid(1) << 3000.0;
    QTest::newRow("functions-at-the-limit") << nested("abs(", "-2", 999) << 2.0;
    QTest::newRow("nested-groups-499") << nested("1+(", "1", 499) << 500.0;
}

void TestInterpreter::treesWithinTheLimit()
{
    QFETCH(QString, formula);
    QFETCH(double, value);

    auto tree = KXFormulaCheck::read(m_model, formula);
    QCOMPARE(tree->evaluate().toDouble(), value);
    QVERIFY(!tree->toString().isEmpty());
    std::unique_ptr<KXEquationCommand> copy(tree->clone(&m_model));
    tree.reset();
    // Worker threads of the global pool evaluate and delete clones too.
    QFuture<double> onWorker = QtConcurrent::run([&copy] {
        std::unique_ptr<KXEquationCommand> local(copy->clone(copy->variableModel()));
        return local->evaluate().toDouble();
    });
    QCOMPARE(onWorker.result(), value);
    QCOMPARE(copy->evaluate().toDouble(), value);
}

void TestInterpreter::operatorValues_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("value");
    const auto error = [](const char* message) { return KXTest::errorValue(QString::fromUtf8(message)); };

    QTest::newRow("text-number") << "\"1\"+2" << QVariant(3.0);
    QTest::newRow("number-text") << "2+\"a\"" << QVariant(QStringLiteral("2a"));
    QTest::newRow("number-numeric-text") << "2+\"-3\"" << QVariant(-1.0);
    QTest::newRow("six-digits") << "1234567+\"x\"" << QVariant(QStringLiteral("1.23457e+06x"));
    QTest::newRow("text-reading-no-value") << "\"-9999\"+1" << QVariant(-9998.0);
    QTest::newRow("no-value-power") << "NO_VALUE^0" << QVariant(-9999);
    QTest::newRow("no-value-equal") << "NO_VALUE=NO_VALUE" << QVariant(true);
    QTest::newRow("no-value-passed-on-equals") << "(NO_VALUE+1)=NO_VALUE" << QVariant(true);
    QTest::newRow("bool-times") << "(1<2)*3" << QVariant(3.0);
    QTest::newRow("divide-by-zero") << "1/0" << QVariant(inf);
    QTest::newRow("modulo-sign-of-left") << "-7%3" << QVariant(-1.0f);
    QTest::newRow("modulo-by-zero") << "7%0" << QVariant(std::numeric_limits<float>::quiet_NaN());
    QTest::newRow("modulo-single-precision") << "16777217%2" << QVariant(0.0f);
    QTest::newRow("modulo-then-times") << "5%3*1" << QVariant(2.0);
    QTest::newRow("text-number-order") << "\"10\">9" << QVariant(true);
    QTest::newRow("no-value-not-different") << "NO_VALUE!=NO_VALUE" << QVariant(false);
    QTest::newRow("named-not-cell") << "ii+I" << QVariant(17.0);
    QTest::newRow("and-false") << "(2>1)AND(3<1)" << QVariant(false);
    // Error values: which operand a message names, and which of two errors is passed on
    QTest::newRow("plus-bool") << "(1<2)+1" << error("Invalid condition for '+': type of expressions to process are invalid");
    QTest::newRow("minus-left") << "\"abc\"-1" << error("Invalid syntax for '-':abc (expression must be numeric)");
    QTest::newRow("less") << "1<\"abc\"" << error("Invalid condition for '&lt;' : abc (expression must be numeric)");
    QTest::newRow("operand-form-in-message") << "(\"a\"+\"b\")*2" << error("Invalid syntax for '*':a+b (expression must be numeric)");
    QTest::newRow("and-left") << "1AND(2>1)" << error("Invalid syntax for 'AND': 1 (expression must be boolean)");
    QTest::newRow("or") << "(2>1)OR1" << error("Invalid condition for 'OR':1 (expression must be boolean)");
    QTest::newRow("left-error-wins") << "(\"a\"-1)+(\"b\"*1)" << error("Invalid syntax for '-':a (expression must be numeric)");
    QTest::newRow("right-error-passes") << "1+(\"b\"*1)" << error("Invalid syntax for '*':b (expression must be numeric)");
}

void TestInterpreter::operatorValues()
{
    QFETCH(QString, formula);
    QFETCH(QVariant, value);

    const QString problem = KXFormulaCheck::check(m_model, formula, value, false);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(!KXFormulaCheck::read(m_model, formula)->isRangeVariable());
}

void TestInterpreter::getError_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("isError");
    QTest::addColumn<QString>("message");

    QTest::newRow("error") << KXTest::errorValue(QStringLiteral("x")) << true << "x";
    QTest::newRow("empty-error") << KXTest::errorValue(QString()) << false << "";
    QTest::newRow("text") << QVariant(QStringLiteral("x")) << false << "kept";
}

void TestInterpreter::getError()
{
    QFETCH(QVariant, value);
    QFETCH(bool, isError);
    QFETCH(QString, message);

    QString out = QStringLiteral("kept");
    QCOMPARE(KXEquationCommand::getError(value, out), isError);
    QCOMPARE(out, message);
}

// A clone reads the model it was made for; the original, its own, even once a constant is gone.
void TestInterpreter::cloneReadsTargetModel()
{
    KXEquationVariableModel first;
    first.addVariable(QStringLiteral("x"), 3);
    KXEquationVariableModel second;
    second.addVariable(QStringLiteral("x"), -2);
    auto tree = KXFormulaCheck::read(first, QStringLiteral("-x"));
    std::unique_ptr<KXEquationCommand> copy(tree->clone(&second));
    first.removeVariable(QStringLiteral("x"));
    QVERIFY(KXTest::sameValue(tree->evaluate(), KXTest::errorValue(QStringLiteral("x: invalid variable name"))));
    tree.reset();
    QCOMPARE(copy->evaluate(), QVariant(2.0));
    QCOMPARE(copy->variableModel(), &second);
}

QTEST_GUILESS_MAIN(TestInterpreter)
#include "tst_interpreter.moc"
