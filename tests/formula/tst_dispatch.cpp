#include "KXDataModel.h"
#include "KXEquationCalculationCommand.h"
#include "KXEquationDataCommand.h"
#include "KXEquationMathCommand.h"
#include "KXEquationOperatorCommand.h"
#include "KXFormulaCheck.h"

#include <typeinfo>

// Which node a call creates and how its arguments were cut, seen through the node's text form.
// Every math and aggregate keyword is also met by the tests of its family.
class KXEquationDispatchTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void calls_data();
    void calls();
    void errors_data();
    void errors();
    void datasetNamedIfHidesCondition();

private:
    KXEquationVariableModel m_model;
    KXDataModelGeneric m_table;
};

namespace {
template <class Node>
QByteArray node()
{
    return QByteArray(typeid(Node).name());
}
}

// Dataset variables Input1 and "abs", named like a function.
void KXEquationDispatchTest::initTestCase()
{
    m_table.createEmpty(2, 2);
    m_model.addVariable(QStringLiteral("Input1"), &m_table, QString());
    m_model.addVariable(QStringLiteral("abs"), static_cast<QAbstractItemModel*>(nullptr), QString());
    for (const char* name : {"a", "c", "d", "i", "j"})
        m_model.addVariable(QLatin1String(name), 1.0);
}

void KXEquationDispatchTest::calls_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("text");

    QTest::newRow("abs-function-hides-dataset") << "abs(4)" << node<KXEquationMathABSCommand>() << "abs(4)";
    QTest::newRow("val-keeps-its-text") << "val(a;b,c)" << node<KXEquationValCommand>() << "val(a;b,c)";
    QTest::newRow("val-bare") << "val" << node<KXEquationValCommand>() << "val()";
    QTest::newRow("not-a-call") << "sqrt(4)+1" << node<KXEquationOperatorPlusCommand>() << "sqrt(4)+1";
    QTest::newRow("double-parentheses") << "sqrt((4))" << node<KXEquationMathSQRTCommand>() << "sqrt(4)";
    QTest::newRow("sum-commas-stay-in-expression") << "sum(k,1,10,Input1(k,1))"
                                                   << node<KXEquationCalculationSumCommand>()
                                                   << "sum(k,1,10,Input1(k,1))";
    QTest::newRow("sum-selection") << "sum([a|1:3|2])" << node<KXEquationCalculationSumSelectionCommand>()
                                   << "sum([a|1:3|2])";
    QTest::newRow("var-two-parts-is-selection") << "var(Input1(1,1))"
                                                << node<KXEquationCalculationVarSelectionCommand>()
                                                << "var(Input1(1,1))";
    QTest::newRow("colName") << "colName(Input1,1)" << node<KXEquationColNameCommand>() << "colName(Input1,1)";
    QTest::newRow("data-access") << "Input1(i,j)" << node<KXEquationDataCommand>() << "Input1(i,j)";
    QTest::newRow("if-nested-in-true-branch") << "if(c;if(d;1;2);3)" << node<KXEquationIfCommand>()
                                              << "if(c;if(d;1;2);3)";
}

void KXEquationDispatchTest::calls()
{
    QFETCH(QString, formula);
    QFETCH(QByteArray, kind);
    QFETCH(QString, text);

    const auto tree = KXFormulaCheck::read(m_model, formula);
    QCOMPARE(QByteArray(typeid(*tree).name()), kind);
    QCOMPARE(tree->toString(), text);
}

void KXEquationDispatchTest::errors_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("french");

    const QString colName = QStringLiteral("colName(): invalid arguments");
    const QString colNameFr = QStringLiteral("colName() : Argument incorrects");
    const QString rand = QStringLiteral("rand(): Invalid arguments");
    const QString randFr = QStringLiteral("rand() : Arguments incorrects");
    const QString data = QStringLiteral("Input1(): Invalid arguments");
    const QString dataFr = QStringLiteral("Input1() : Arguments incorrects");

    QTest::newRow("colName-one-part") << "colName(Input1)" << colName << colNameFr;
    QTest::newRow("colName-bare") << "colName" << colName << colNameFr;
    QTest::newRow("rowName-one-part") << "rowName(Input1)" << "rowName(): invalid arguments"
                                      << "rowName() : Argument incorrects";
    QTest::newRow("rand-nested-comma") << "rand(Input1(1,1),2)" << rand << randFr;
    QTest::newRow("data-bare") << "Input1" << data << dataFr;
    QTest::newRow("data-nested-comma") << "Input1(Input1(1,1),1)" << data << dataFr;
    QTest::newRow("if-two-parts") << "if(c;1)" << "if(): Invalid arguments" << "if() : Arguments incorrects";
    QTest::newRow("sqrt-bare") << "sqrt" << "Expression to evaluate is empty" << "L'expression à évaluer est vide";
    QTest::newRow("names-case-sensitive") << "SQRT(4)" << "Invalid syntax: SQRT(4)"
                                          << "Expression invalide : SQRT(4)";
    QTest::newRow("math-keeps-commas") << "abs(1,1)" << "Invalid syntax: 1,1" << "Expression invalide : 1,1";
    QTest::newRow("if-nested-in-false-branch") << "if(c;1;if(d;2;3))" << "Invalid parenthesis count"
                                               << "Le nombre de parenthèses est incorrect";
    QTest::newRow("sum-comma-in-end") << "sum(k,1,Input1(1,1),k)" << "Invalid parenthesis count"
                                      << "Le nombre de parenthèses est incorrect";
}

void KXEquationDispatchTest::errors()
{
    QFETCH(QString, formula);
    QFETCH(QString, english);
    QFETCH(QString, french);

    QCOMPARE(KXFormulaCheck::raisedBy(m_model, formula), english);
    KXTest::LanguageScope scope(TApplicationTranslator::French);
    QCOMPARE(KXFormulaCheck::raisedBy(m_model, formula), french);
}

void KXEquationDispatchTest::datasetNamedIfHidesCondition()
{
    KXEquationVariableModel variables(&m_model);
    variables.addVariable(QStringLiteral("if"), static_cast<QAbstractItemModel*>(nullptr), QString());
    const auto tree = KXFormulaCheck::read(variables, QStringLiteral("if(1,2)"));
    QCOMPARE(QByteArray(typeid(*tree).name()), node<KXEquationDataCommand>());
}

QTEST_GUILESS_MAIN(KXEquationDispatchTest)
#include "tst_dispatch.moc"
