#include "KXFormulaCheck.h"

#include <limits>

namespace {
const double inf = std::numeric_limits<double>::infinity();
const double notANumber = std::numeric_limits<double>::quiet_NaN();
}

class TestOperators : public QObject
{
    Q_OBJECT
private slots:
    void values_data();
    void values();
    void messages_data();
    void messages();
};

void TestOperators::values_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("range");

    // Addition: numbers add, texts join, a number beside a text reads the text as a number if it can
    QTest::newRow("numbers") << "1+2" << QVariant(3.0) << false;
    QTest::newRow("two-texts") << "\"1\"+\"2\"" << QVariant(QStringLiteral("12")) << false;
    QTest::newRow("text-number") << "\"1\"+2" << QVariant(3.0) << false;
    QTest::newRow("number-text") << "2+\"a\"" << QVariant(QStringLiteral("2a")) << false;
    QTest::newRow("six-digits") << "1234567+\"x\"" << QVariant(QStringLiteral("1.23457e+06x")) << false;
    QTest::newRow("text-reading-no-value") << "\"-9999\"+1" << QVariant(-9998.0) << false;
    // No-value marker
    QTest::newRow("no-value-plus") << "NO_VALUE+1" << QVariant(-9999) << false;
    QTest::newRow("text-plus-no-value") << "\"a\"+NO_VALUE" << QVariant(-9999) << false;
    QTest::newRow("no-value-power") << "NO_VALUE^0" << QVariant(-9999) << false;
    QTest::newRow("no-value-modulo") << "NO_VALUE%2" << QVariant(-9999) << false;
    QTest::newRow("no-value-greater") << "NO_VALUE>0" << QVariant(false) << false;
    QTest::newRow("no-value-less-equal") << "0<=NO_VALUE" << QVariant(false) << false;
    QTest::newRow("no-value-equal") << "NO_VALUE=NO_VALUE" << QVariant(true) << false;
    QTest::newRow("no-value-passed-on-equals") << "(NO_VALUE+1)=NO_VALUE" << QVariant(true) << false;
    // Arithmetic
    QTest::newRow("bool-times") << "(1<2)*3" << QVariant(3.0) << false;
    QTest::newRow("text-times") << "\"3\"*2" << QVariant(6.0) << false;
    QTest::newRow("divide-by-zero") << "1/0" << QVariant(inf) << false;
    QTest::newRow("minus-zero-by-zero") << "0/0" << QVariant(notANumber) << false;
    QTest::newRow("power-negative-fraction") << "(0-8)^(1/3)" << QVariant(notANumber) << false;
    QTest::newRow("modulo") << "5%3" << QVariant(2.0f) << false;
    QTest::newRow("modulo-sign-of-left") << "-7%3" << QVariant(-1.0f) << false;
    QTest::newRow("modulo-by-zero") << "7%0" << QVariant(std::numeric_limits<float>::quiet_NaN()) << false;
    QTest::newRow("modulo-single-precision") << "16777217%2" << QVariant(0.0f) << false;
    QTest::newRow("modulo-then-times") << "5%3*1" << QVariant(2.0) << false;
    // Ordering and equality
    QTest::newRow("text-number-order") << "\"10\">9" << QVariant(true) << false;
    QTest::newRow("different-texts") << "\"a\"!=\"b\"" << QVariant(true) << false;
    QTest::newRow("no-value-not-different") << "NO_VALUE!=NO_VALUE" << QVariant(false) << false;
    QTest::newRow("bool-equal") << "(1<2)=(2>1)" << QVariant(true) << false;
    // A cell position anywhere below makes the whole tree depend on the cell
    QTest::newRow("left-cell") << "i*2" << QVariant(8.0) << true;
    QTest::newRow("right-cell") << "2*j" << QVariant(10.0) << true;
    QTest::newRow("deep-cell") << "1+(2*(3-k))" << QVariant(-5.0) << true;
    QTest::newRow("named-not-cell") << "ii+I" << QVariant(17.0) << false;
    // Logic
    QTest::newRow("and-false") << "(2>1)AND(3<1)" << QVariant(false) << false;
    QTest::newRow("or-true") << "(2<1)OR(3>1)" << QVariant(true) << false;
}

void TestOperators::values()
{
    QFETCH(QString, formula);
    QFETCH(QVariant, value);
    QFETCH(bool, range);

    KXEquationVariableModel model;
    KXFormulaCheck::addTableConstants(model);
    const QString problem = KXFormulaCheck::check(model, formula, value, false);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(KXFormulaCheck::read(model, formula)->isRangeVariable(), range);
}

void TestOperators::messages_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<bool>("french");
    QTest::addColumn<QString>("message");

    const QString plusEn = QStringLiteral("Invalid condition for '+': type of expressions to process are invalid");
    QTest::newRow("plus-bool") << "(1<2)+1" << false << plusEn;
    QTest::newRow("plus-float") << "5%3+1" << false << plusEn;
    QTest::newRow("plus-fr") << "(1<2)+1" << true
                             << "Condition invalide pour '+' : le type des expressions à évaluer est incorrect";
    QTest::newRow("minus-left") << "\"abc\"-1" << false << "Invalid syntax for '-':abc (expression must be numeric)";
    QTest::newRow("minus-right") << "1-\"abc\"" << false << "Invalid syntax for '-':abc (expression must be numeric)";
    QTest::newRow("times") << "\"abc\"*1" << false << "Invalid syntax for '*':abc (expression must be numeric)";
    QTest::newRow("divide") << "\"abc\"/1" << false << "Invalid syntax for '/':abc (expression must be numeric)";
    QTest::newRow("modulo") << "\"abc\"%1" << false << "Invalid syntax for '%':abc (expression must be numeric)";
    QTest::newRow("power") << "\"abc\"^1" << false << "Invalid syntax for '^':abc (expression must be numeric)";
    QTest::newRow("greater") << "\"abc\">1" << false << "Invalid condition for '>':abc (expression must be numeric)";
    QTest::newRow("less") << "1<\"abc\"" << false << "Invalid condition for '&lt;' : abc (expression must be numeric)";
    QTest::newRow("less-equal") << "\"abc\"<=1" << false
                                << "Invalid condition for '<=':abc (expression must be numeric)";
    QTest::newRow("greater-equal") << "\"abc\">=1" << false
                                   << "Invalid condition for '>=':abc (expression must be numeric)";
    QTest::newRow("operand-form-in-message") << "(\"a\"+\"b\")*2" << false
                                             << "Invalid syntax for '*':a+b (expression must be numeric)";
    QTest::newRow("and-left") << "1AND(2>1)" << false << "Invalid syntax for 'AND': 1 (expression must be boolean)";
    QTest::newRow("and-right") << "(2>1)AND\"t\"" << false
                               << "Invalid syntax for 'AND': t (expression must be boolean)";
    QTest::newRow("or") << "(2>1)OR1" << false << "Invalid condition for 'OR':1 (expression must be boolean)";
    QTest::newRow("left-error-wins") << "(\"a\"-1)+(\"b\"*1)" << false
                                     << "Invalid syntax for '-':a (expression must be numeric)";
    QTest::newRow("right-error-passes") << "1+(\"b\"*1)" << false
                                        << "Invalid syntax for '*':b (expression must be numeric)";
    QTest::newRow("minus-fr") << "\"abc\"-1" << true
                              << "Expression invalide pour '-' : abc (l'expression doit être de type numérique)";
    QTest::newRow("less-fr") << "1<\"abc\"" << true
                             << "Condition invalide pour '&lt;' : abc (l'expression doit être de type numérique)";
    QTest::newRow("and-fr") << "1AND(2>1)" << true
                            << "Expression invalide pour 'AND' : 1 (l'expression doit être de type booléen)";
    QTest::newRow("or-fr") << "(2>1)OR1" << true
                           << "Condition invalide pour 'OR' : 1 (l'expression doit être de type booléen)";
}

void TestOperators::messages()
{
    QFETCH(QString, formula);
    QFETCH(bool, french);
    QFETCH(QString, message);

    KXTest::LanguageScope language(french ? TApplicationTranslator::French : TApplicationTranslator::English);
    KXEquationVariableModel model;
    KXFormulaCheck::addTableConstants(model);
    const QVariant actual = KXFormulaCheck::read(model, formula)->evaluate();
    QVERIFY2(KXTest::sameValue(actual, KXTest::errorValue(message)), qPrintable(KXTest::describe(actual)));
}

QTEST_GUILESS_MAIN(TestOperators)
#include "tst_operators.moc"
