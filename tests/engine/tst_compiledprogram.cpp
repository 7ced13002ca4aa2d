#include "KXDataModel.h"
#include "KXEquationCellProgram.h"
#include "KXEquationCommand.h"
#include "KXEquationCompiledProgram.h"
#include "KXEquationInterpreter.h"
#include "KXEquationParallelData.h"
#include "KXEquationVariableModel.h"
#include "KXFormulaGenerator.h"
#include "KXTestSupport.h"

#include <QtConcurrent>
#include <QtTest>

#include <functional>
#include <numeric>

class TestCompiledProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameAsTree_data();
    void sameAsTree();
    void doublePath_data();
    void doublePath();
    void cancelStopsLongLoop();
    void workersOnSeveralThreads();

private:
    KXDataModelGeneric m_table;
    KXEquationVariableModel m_variables;
};

namespace {
const int ROWS = 5;
const int COLUMNS = 4;

// Empty when actual is expected bit for bit.
QString difference(const QVariant& actual, const QVariant& expected)
{
    const QString a = KXTest::describe(actual), e = KXTest::describe(expected);
    return a == e ? QString() : a + QLatin1String(" instead of ") + e;
}

}

void TestCompiledProgram::initTestCase()
{
    KXMessageSink::setHandler([](KXMessageSink::Origin, const QString&) {});
    KXFormulaGenerator::fillTable(m_table);
    KXFormulaGenerator::addVariables(m_variables, &m_table);
}

void TestCompiledProgram::sameAsTree_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    const QStringList formulas = KXTest::formulasOfTestTables();
    QVERIFY(formulas.size() > 150);
    for (int k = 0; k < formulas.size(); ++k)
        QTest::addRow("table-%d", k) << formulas.at(k) << 0 << COLUMNS - 1;
    for (quint32 seed = 1; seed <= 3000; ++seed) {
        QRandomGenerator random(seed);
        QTest::addRow("generated-%u", seed) << KXFormulaGenerator::randomFormula(random, 1 + seed % 4) << 0 << COLUMNS - 1;
    }
    QTest::newRow("loop-variable-read-before-its-aggregate") << "k+sum(k,1,3,k)" << 0 << COLUMNS - 1;
    QTest::newRow("loop-variable-read-after-its-aggregate") << "sum(k,1,3,k)+k" << 0 << COLUMNS - 1;
    QTest::newRow("cell-position-as-loop-variable") << "sum(i,1,3,i)+j" << 0 << COLUMNS - 1;
    QTest::newRow("walked-var-in-compiled-sum") << "sum(k,1,2,var(l,1,k+1,l*k))" << 0 << COLUMNS - 1;
    QTest::newRow("if-on-double-path-bails") << "if(i>1;Input1(i,j)*2;j)" << 0 << COLUMNS - 1;
    // Rows longer than a block of the double path: blocks end and start where the grid does not.
    QTest::newRow("wide-arithmetic") << "2*i+j" << -3 << 140;
    QTest::newRow("wide-bounds-vary-in-block") << "sum(k,j,20,k*i)" << -3 << 140;
    QTest::newRow("wide-bounds-vary-in-last-cell-of-block") << "sum(k,1,if(j>123;3;2),k)" << -3 << 140;
    QTest::newRow("wide-bounds-vary-in-first-cell-of-block") << "prod(k,if(j<62;2;1),3,k)" << -3 << 140;
    QTest::newRow("wide-no-value-compared") << "(if(j>70;NO_VALUE;j))<=(i)" << -3 << 140;
    QTest::newRow("divided-by-no-value-off-block") << "if(i>1;(j)/(if(j>2;NO_VALUE;1));\"t\")" << 0 << COLUMNS - 1;
    QTest::newRow("wide-no-value-in-some-cells") << "(if(j>70;NO_VALUE;j))*(2)" << -3 << 140;
    QTest::newRow("wide-loop-variable-j") << "sum(j,1,3,j)+(i)" << -3 << 140;
    for (quint32 seed = 1; seed <= 40; ++seed) {
        QRandomGenerator random(seed * 7919);
        QTest::addRow("wide-generated-%u", seed) << KXFormulaGenerator::randomFormula(random, 3) << -3 << 140;
    }
}

void TestCompiledProgram::sameAsTree()
{
    QFETCH(QString, formula);
    QFETCH(int, first);
    QFETCH(int, last);
    // Deleting a tree removes its loop variables from the model it was read on: read on a copy.
    KXEquationVariableModel variables(m_variables);
    std::unique_ptr<KXEquationCommand> tree;
    try {
        tree.reset(KXEquationInterpreter(&variables).interpret(formula));
    } catch (const KXError&) {
        return; // an unreadable formula reaches no engine
    }
    variables.setRandomSeed(qHash(formula));
    const auto program = compileCellProgram(*tree, variables);
    const auto worker = program->makeWorker(nullptr);
    std::vector<QVariant> values(last - first + 1);
    for (int row = 0; row < ROWS; ++row) {
        worker->evaluateRow(row, first, last, values.data());
        for (int column = first; column <= last; ++column) {
            KXEquationParallelData reference(tree.get(), &variables, row, column);
            reference.run();
            const QString problem = difference(values[column - first], reference.result());
            if (!problem.isEmpty())
                QFAIL(qPrintable(QStringLiteral("cell %1,%2: %3").arg(row).arg(column).arg(problem)));
        }
    }
}

void TestCompiledProgram::doublePath_data()
{
    QTest::addColumn<QString>("formula");
    for (const char* formula : {"2*i+j", "sqrt(i)*sin(j)+1", "Input1(i,j)*2", "sum(k,1,10,k*i)", "if(i>j;i;j)"})
        QTest::newRow(formula) << QString::fromLatin1(formula);
}

void TestCompiledProgram::doublePath()
{
    QFETCH(QString, formula);
    const auto table = KXTest::makeTable(ROWS, COLUMNS);
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input1"), table.get(), QString());
    variables.addVariable(QStringLiteral("i"), 1.0);
    variables.addVariable(QStringLiteral("j"), 1.0);
    const std::unique_ptr<KXEquationCommand> tree(KXEquationInterpreter(&variables).interpret(formula));
    const auto program = compileCellProgram(*tree, variables);
    const auto worker = program->makeWorker(nullptr);
    QVariant values[COLUMNS];
    for (int row = 1; row <= ROWS; ++row)
        worker->evaluateRow(row, 1, COLUMNS, values);
    QCOMPARE(dynamic_cast<KXEquationCompiledWorker&>(*worker).doubleCells(), qint64(ROWS * COLUMNS));
}

void TestCompiledProgram::cancelStopsLongLoop()
{
    KXEquationVariableModel variables(m_variables);
    const std::unique_ptr<KXEquationCommand> tree(
        KXEquationInterpreter(&variables).interpret(QStringLiteral("sum(k,1,2000000000,k*i)+(\"a\")")));
    const auto program = compileCellProgram(*tree, variables);
    const std::atomic<bool> cancel{true};
    QVariant value;
    program->makeWorker(&cancel)->evaluateRow(1, 1, 1, &value);
    QVERIFY(KXEquationCommand::getError(value));
}

void TestCompiledProgram::workersOnSeveralThreads()
{
    KXEquationVariableModel variables(m_variables);
    const std::unique_ptr<KXEquationCommand> tree(KXEquationInterpreter(&variables).interpret(
        QStringLiteral("if(i>j;Input1(i,j)+(\"x\");var(k,1,i,k*j))+colName(Input1,j)")));
    const auto program = compileCellProgram(*tree, variables);
    QVector<int> rows(64);
    std::iota(rows.begin(), rows.end(), 0);
    const std::function<QVariantList(int)> evaluate = [&program](int row) {
        QVariantList values;
        QVariant cells[COLUMNS];
        program->makeWorker(nullptr)->evaluateRow(row % ROWS, 0, COLUMNS - 1, cells);
        for (const QVariant& cell : cells)
            values.append(cell);
        return values;
    };
    const QList<QVariantList> together = QtConcurrent::blockingMapped<QList<QVariantList>>(rows, evaluate);
    for (const int row : rows)
        QVERIFY(difference(QVariant(together.at(row)), QVariant(evaluate(row))).isEmpty());
}

QTEST_GUILESS_MAIN(TestCompiledProgram)
#include "tst_compiledprogram.moc"
