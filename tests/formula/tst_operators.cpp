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
    void textForms_data();
    void textForms();
    void rangeDependence_data();
    void rangeDependence();
};

void TestOperators::values_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("value");

    // Addition: numbers add, texts join, a number beside a text reads the text as a number if it can
    QTest::newRow("numbers") << "1+2" << QVariant(3.0);
    QTest::newRow("two-texts") << "\"1\"+\"2\"" << QVariant(QStringLiteral("12"));
    QTest::newRow("text-number") << "\"1\"+2" << QVariant(3.0);
    QTest::newRow("number-text") << "2+\"a\"" << QVariant(QStringLiteral("2a"));
    QTest::newRow("text-then-number") << "\"a\"+2" << QVariant(QStringLiteral("a2"));
    QTest::newRow("six-digits") << "1234567+\"x\"" << QVariant(QStringLiteral("1.23457e+06x"));
    QTest::newRow("unit") << "2.5+\"kg\"" << QVariant(QStringLiteral("2.5kg"));
    QTest::newRow("text-reading-no-value") << "\"-9999\"+1" << QVariant(-9998.0);
    // No-value marker
    QTest::newRow("no-value-plus") << "NO_VALUE+1" << QVariant(-9999);
    QTest::newRow("no-value-plus-text") << "NO_VALUE+\"a\"" << QVariant(-9999);
    QTest::newRow("text-plus-no-value") << "\"a\"+NO_VALUE" << QVariant(-9999);
    QTest::newRow("no-value-times") << "2*NO_VALUE" << QVariant(-9999);
    QTest::newRow("no-value-power") << "NO_VALUE^0" << QVariant(-9999);
    QTest::newRow("no-value-modulo") << "NO_VALUE%2" << QVariant(-9999);
    QTest::newRow("no-value-greater") << "NO_VALUE>0" << QVariant(false);
    QTest::newRow("no-value-less") << "NO_VALUE<0" << QVariant(false);
    QTest::newRow("no-value-less-equal") << "0<=NO_VALUE" << QVariant(false);
    QTest::newRow("no-value-equal") << "NO_VALUE=NO_VALUE" << QVariant(true);
    QTest::newRow("no-value-passed-on-equals") << "(NO_VALUE+1)=NO_VALUE" << QVariant(true);
    // Arithmetic
    QTest::newRow("bool-times") << "(1<2)*3" << QVariant(3.0);
    QTest::newRow("text-times") << "\"3\"*2" << QVariant(6.0);
    QTest::newRow("divide-by-zero") << "1/0" << QVariant(inf);
    QTest::newRow("minus-zero-by-zero") << "0/0" << QVariant(notANumber);
    QTest::newRow("power-fraction") << "4^0.5" << QVariant(2.0);
    QTest::newRow("power-negative-fraction") << "(0-8)^(1/3)" << QVariant(notANumber);
    QTest::newRow("modulo") << "5%3" << QVariant(2.0f);
    QTest::newRow("modulo-sign-of-left") << "-7%3" << QVariant(-1.0f);
    QTest::newRow("modulo-by-zero") << "7%0" << QVariant(std::numeric_limits<float>::quiet_NaN());
    QTest::newRow("modulo-single-precision") << "16777217%2" << QVariant(0.0f);
    QTest::newRow("modulo-then-times") << "5%3*1" << QVariant(2.0);
    // Ordering and equality
    QTest::newRow("less") << "1<2" << QVariant(true);
    QTest::newRow("greater") << "1>2" << QVariant(false);
    QTest::newRow("text-number-order") << "\"10\">9" << QVariant(true);
    QTest::newRow("equal-texts") << "\"a\"=\"a\"" << QVariant(true);
    QTest::newRow("different-texts") << "\"a\"!=\"b\"" << QVariant(true);
    QTest::newRow("no-value-not-different") << "NO_VALUE!=NO_VALUE" << QVariant(false);
    QTest::newRow("bool-equal") << "(1<2)=(2>1)" << QVariant(true);
    // Logic
    QTest::newRow("and-true") << "(2>1)AND(3>1)" << QVariant(true);
    QTest::newRow("and-false") << "(2>1)AND(3<1)" << QVariant(false);
    QTest::newRow("or-true") << "(2<1)OR(3>1)" << QVariant(true);
    QTest::newRow("or-false") << "(2<1)OR(3<1)" << QVariant(false);
}

void TestOperators::values()
{
    QFETCH(QString, formula);
    QFETCH(QVariant, value);

    KXEquationVariableModel model;
    KXFormulaCheck::addTableConstants(model);
    const QVariant actual = KXFormulaCheck::read(model, formula)->evaluate();
    QVERIFY2(KXTest::sameValue(actual, value), qPrintable(KXTest::describe(actual)));
    std::unique_ptr<KXEquationCommand> copy(KXFormulaCheck::read(model, formula)->clone(&model));
    QVERIFY(KXTest::sameValue(copy->evaluate(), value));
}

void TestOperators::messages_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<bool>("french");
    QTest::addColumn<QString>("message");

    const QString plusEn = QStringLiteral("Invalid condition for '+': type of expressions to process are invalid");
    QTest::newRow("plus-bool") << "(1<2)+1" << false << plusEn;
    QTest::newRow("plus-float") << "5%3+1" << false << plusEn;
    QTest::newRow("plus-bool-text") << "\"a\"+(1<2)" << false << plusEn;
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

void TestOperators::textForms_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("form");

    QTest::newRow("less-as-entity") << "a<b" << "a&lt;b";
    QTest::newRow("less-equal-plain") << "a<=b" << "a<=b";
    QTest::newRow("no-parentheses") << "(1+2)*3" << "1+2*3";
    QTest::newRow("no-blanks") << "a AND b" << "aANDb";
    QTest::newRow("six-digits") << "1234567*0.1" << "1.23457e+06*0.1";
}

void TestOperators::textForms()
{
    QFETCH(QString, formula);
    QFETCH(QString, form);

    KXEquationVariableModel model;
    KXFormulaCheck::addTableConstants(model);
    QCOMPARE(KXFormulaCheck::read(model, formula)->toString(), form);
}

void TestOperators::rangeDependence_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<bool>("range");

    QTest::newRow("constants") << "1+2" << false;
    QTest::newRow("left-cell") << "i*2" << true;
    QTest::newRow("right-cell") << "2*j" << true;
    QTest::newRow("deep") << "1+(2*(3-k))" << true;
    QTest::newRow("named") << "ii+I" << false;
}

void TestOperators::rangeDependence()
{
    QFETCH(QString, formula);
    QFETCH(bool, range);

    KXEquationVariableModel model;
    KXFormulaCheck::addTableConstants(model);
    QCOMPARE(KXFormulaCheck::read(model, formula)->isRangeVariable(), range);
}

QTEST_GUILESS_MAIN(TestOperators)
#include "tst_operators.moc"
