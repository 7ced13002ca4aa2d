#include "KXDataModel.h"
#include "KXFormulaCheck.h"

#include <limits>

using KXFormulaCheck::errorValue;

class KXEquationMathCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void values_data();
    void values();
    void messages_data();
    void messages();

private:
    KXEquationVariableModel m_model;
    KXDataModelGeneric m_table;
};

void KXEquationMathCommandTest::initTestCase()
{
    m_table.createEmpty(1, 1);
    m_model.addVariable(QStringLiteral("Input1"), &m_table, QString());
    m_model.addVariable(QStringLiteral("i"), 3.0);
}

void KXEquationMathCommandTest::values_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("range");

    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QVariant noValue(-9999);
    const QVariant unreachable = errorValue(QStringLiteral("Input1() : Line number unreachable"));

    QTest::newRow("sqrt") << "sqrt(16)" << QVariant(4.0) << "sqrt(16)" << false;
    QTest::newRow("sqrt-expression") << "sqrt(i+1)" << QVariant(2.0) << "sqrt(i+1)" << true;
    QTest::newRow("sqrt-text-number") << "sqrt(\"16\")" << QVariant(4.0) << "sqrt(16)" << false;
    QTest::newRow("sin-degrees") << "sin(90)" << QVariant(1.0) << "sin(90)" << false;
    QTest::newRow("cos-degrees") << "cos(60)" << QVariant(0.5) << "cos(60)" << false;
    QTest::newRow("tan-degrees") << "tan(45)" << QVariant(1.0) << "tan(45)" << false;
    QTest::newRow("asin-inverts-sin") << "asin(sin(30))" << QVariant(30.0) << "asin(sin(30))" << false;
    QTest::newRow("acos-inverts-cos") << "acos(cos(60))" << QVariant(60.0) << "acos(cos(60))" << false;
    QTest::newRow("atan-degrees") << "atan(1)" << QVariant(45.0) << "atan(1)" << false;
    QTest::newRow("asin-out-of-domain") << "asin(2)" << QVariant(nan) << "asin(2)" << false;
    QTest::newRow("log") << "log(1000)" << QVariant(3.0) << "log(1000)" << false;
    QTest::newRow("log-zero") << "log(0)" << QVariant(-inf) << "log(0)" << false;
    QTest::newRow("ln") << "ln(1)" << QVariant(0.0) << "ln(1)" << false;
    QTest::newRow("abs") << "abs(-2.5)" << QVariant(2.5) << "abs(-2.5)" << false;
    QTest::newRow("floor") << "floor(-2.5)" << QVariant(-3.0) << "floor(-2.5)" << false;
    QTest::newRow("ceil") << "ceil(-2.5)" << QVariant(-2.0) << "ceil(-2.5)" << false;
    QTest::newRow("exp") << "exp(0)" << QVariant(1.0) << "exp(0)" << false;
    QTest::newRow("round-half-up") << "round(2.5)" << QVariant(3) << "round(2.5)" << false;
    QTest::newRow("round-negative-half") << "round(-2.5)" << QVariant(-2) << "round(-2.5)" << false;
    QTest::newRow("round-negative") << "round(-2.6)" << QVariant(-3) << "round(-2.6)" << false;
    QTest::newRow("round-bool") << "round(1<2)" << QVariant(1) << "round(1&lt;2)" << false;
    QTest::newRow("round-no-value") << "round(NO_VALUE)" << noValue << "round(NO_VALUE)" << false;
    QTest::newRow("sign-zero") << "sign(0)" << QVariant(1) << "sign(0)" << false;
    QTest::newRow("sign-negative-zero") << "sign(-0)" << QVariant(1) << "sign(0)" << false;
    QTest::newRow("sign-negative") << "sign(-0.5)" << QVariant(-1) << "sign(-0.5)" << false;
    QTest::newRow("sign-nan") << "sign(sqrt(-1))" << QVariant(1) << "sign(sqrt(-1))" << false;
    QTest::newRow("sign-no-value") << "sign(NO_VALUE)" << noValue << "sign(NO_VALUE)" << false;
    QTest::newRow("sqrt-error") << "sqrt(Input1(0,1))" << unreachable << "sqrt(Input1(0,1))" << false;
    QTest::newRow("round-error") << "round(Input1(0,1))" << unreachable << "round(Input1(0,1))" << false;
}

void KXEquationMathCommandTest::values()
{
    QFETCH(QString, formula);
    QFETCH(QVariant, expected);
    QFETCH(QString, text);
    QFETCH(bool, range);

    // The text form of "<" is a markup entity that does not read back.
    const QString problem = KXFormulaCheck::check(m_model, formula, expected, !text.contains(QLatin1String("&lt;")));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const auto tree = KXFormulaCheck::read(m_model, formula);
    QCOMPARE(tree->toString(), text);
    QCOMPARE(tree->isRangeVariable(), range);
}

void KXEquationMathCommandTest::messages_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("french");

    const char* keywords[] = {"sin", "asin", "cos", "acos", "tan", "atan", "log",
                              "ln", "abs", "floor", "ceil", "exp", "round", "sign"};
    QTest::newRow("sqrt") << "sqrt(\"abc\")" << "sqrt(): invalid syntax" << "sqrt() : Expression invalide";
    for (const char* keyword : keywords) {
        const QString name = QLatin1String(keyword);
        QTest::addRow("%s", keyword) << name + "(\"abc\")" << name + "(): Invalid syntax"
                                     << name + "() : Expression invalide";
    }
    QTest::newRow("round-text-not-whole") << "round(\"2.5\")" << "round(): Invalid syntax"
                                          << "round() : Expression invalide";
}

void KXEquationMathCommandTest::messages()
{
    QFETCH(QString, formula);
    QFETCH(QString, english);
    QFETCH(QString, french);

    QCOMPARE(KXFormulaCheck::messageOf(m_model, formula), english);
    KXTest::LanguageScope scope(TApplicationTranslator::French);
    QCOMPARE(KXFormulaCheck::messageOf(m_model, formula), french);
}

QTEST_GUILESS_MAIN(KXEquationMathCommandTest)
#include "tst_mathcommands.moc"
