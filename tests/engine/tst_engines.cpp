#include "KXDataModel.h"
#include "KXEquationCommand.h"
#include "KXEquationComputation.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"
#include "KXFormulaGenerator.h"
#include "KXTestSupport.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
using Engine = KXEquationComputation::Engine;

// The table, its headers and the messages, in lines; the messages without their counts and
// sorted, since the reference's cells report from several threads in no set order.
QStringList outcome(Engine engine, const QString& formula, const QString& range, const QString& rowName,
                    KXEquationVariableModel variables, quint64 seed = 2026)
{
    KXTest::MessageCapture capture;
    KXEquationModel equation;
    equation.setSeed(seed);
    // Without a row name the rows keep the input's headers.
    const QStringList setup{formula, range, rowName, "\"c\"+(i*10+j)", "Input1", "rows"};
    KXTest::configure(&equation, rowName.isEmpty() ? setup : QStringList(setup.mid(0, 4)));
    KXEquationComputation computation(&equation, &variables);
    KXEquationComputation::Options options;
    options.engine = engine;
    std::unique_ptr<KXDataModelGeneric> table(computation.compute(options));

    QStringList lines;
    if (table) {
        for (int r = 0; r < table->rowCount(); ++r) {
            lines << QStringLiteral("row header ") + KXTest::describe(table->headerData(r, Qt::Vertical));
            for (int c = 0; c < table->columnCount(); ++c)
                lines << KXTest::describe(table->cell(r, c));
        }
        for (int c = 0; c < table->columnCount(); ++c)
            lines << QStringLiteral("column header ") + KXTest::describe(table->headerData(c, Qt::Horizontal));
    }
    QStringList messages = capture.messages();
    messages.replaceInStrings(QRegularExpression(QStringLiteral(" \\((repeated \\d+ times|répété \\d+ fois)\\)$")),
                              QString());
    messages.removeDuplicates();
    messages.sort();
    return lines + messages;
}

const char* const CELL_FORMULAS[] = {
    "2*i+j", "i/j", "j/(i-2)", "-i%3", "i%j", "i^j", "(i-2)^0.5", "sqrt(i)*sin(j)+1", "cos(i*j)", "tan(45*j)",
    "asin(j/4)", "log(j)", "ln(j-1)", "exp(-i)", "abs(1-i)", "floor(-i/3)", "ceil(i/3)", "round(i/2)",
    "i<j", "i>=j", "i=j", "i!=j", "NO_VALUE<j", "i<=NO_VALUE", "Input1(i,j)", "Input1(i,j)*2", "Input1(i,j)+\"!\"", "Input1(i+3,j)",
    "Input1(i,j)-NO_VALUE", "NO_VALUE*i", "if(i>j;i;j)", "if(Input1(i,j)>10;\"big\";Input1(i,j))",
    "sum(k,1,10,k*i)", "prod(k,1,j,k)", "average(k,i,j,k)", "min(k,1,4,Input1(k,j))", "max(k,j,3,k*i)",
    "var(k,1,i,k*j)", "stdDev(k,1,j,Input1(k,1))", "sum(k,i,j,k)", "\"r\"+i+j", "x*i", "PI*j", "rand(i,j)",
    "[C0|R0:C1|R1]", "sum(k,1,i,[C0|R0:C1|R1])", "0*(-i)", "1/(i-i)", "-(0/(i-i))",
};
}

class TestEngines : public QObject
{
    Q_OBJECT
private slots:
    void sameResults_data();
    void sameResults();
    void generatedSameResults_data();
    void generatedSameResults();
    void seededTable_data();
    void seededTable();
};

void TestEngines::sameResults_data()
{
    QTest::addColumn<QString>("formula");

    for (const char* formula : CELL_FORMULAS)
        QTest::newRow(formula) << QString::fromUtf8(formula);
    const QStringList fromTables = KXTest::formulasOfTestTables();
    QVERIFY(fromTables.size() > 100);
    for (int k = 0; k < fromTables.size(); ++k)
        QTest::addRow("table-%d", k) << fromTables.at(k);
}

void TestEngines::sameResults()
{
    QFETCH(QString, formula);

    auto input = KXTest::makeTable(4, 3, QStringLiteral("bench"), QStringLiteral("input"));
    input->setCell(0, 1, QString());
    input->setCell(1, 0, QStringLiteral("abc"));
    input->setCell(1, 2, QStringLiteral("3,5"));
    input->setCell(2, 1, 7);
    input->setCell(2, 2, std::numeric_limits<double>::quiet_NaN());
    input->setCell(3, 0, -0.0);
    input->setCell(3, 2, true);
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input1"), input.get(), QString());
    variables.addVariable(QStringLiteral("x"), 0.5);
    // With a row-name formula every formula goes through the cells, constant or not.
    for (const QString& rowName : {QString(), QStringLiteral("\"r\"+(i*10+j)")}) {
        const QString range = QStringLiteral("1 NR_Input1 1 NC_Input1");
        const QStringList fast = outcome(Engine::Fast, formula, range, rowName, variables);
        const QStringList reference = outcome(Engine::Reference, formula, range, rowName, variables);
        QCOMPARE(fast.join(QLatin1Char(10)), reference.join(QLatin1Char(10)));
    }
}

void TestEngines::generatedSameResults_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("rowName");
    const struct
    {
        const char* name;
        const char* range;
        bool anywhere;
    } ranges[] = {
        {"small", "1 4 1 3", false},
        {"one-cell", "3 3 2 2", false},
        {"wider-than-a-block", "2 3 -5 70", false},
        {"at-largest-int", "2147483646 2147483647 2147483580 2147483647", true},
        {"at-smallest-int", "-2147483648 -2147483647 -2147483648 -2147483581", true},
    };
    for (const auto& range : ranges) {
        for (quint32 seed = 1; seed <= 40; ++seed) {
            QRandomGenerator random(seed * 104729);
            const QString formula = KXFormulaGenerator::randomFormula(random, 1 + seed % 3, range.anywhere);
            const QString rowName = seed % 4 ? QString() : KXFormulaGenerator::randomFormula(random, 2, range.anywhere);
            QTest::addRow("%s-%u", range.name, seed) << formula << range.range << rowName;
        }
    }
    // Both operands are evaluated: the right one reports what its var could not read, even when
    // the left one is already an error value; the same in a naming formula.
    QTest::newRow("error-beside-reporting-stdDev")
        << "(if(Input1(i,1);7;\"a\")^2)-stdDev(k,1,3,Input1(i,1)/0.5)" << "1 4 1 3" << QString();
    QTest::newRow("reporting-row-name") << "i+j" << "1 4 1 130" << "stdDev(m,1,i,Input1(i,1)-2)";
    // The reference's batch of the failing cell ends after 4999 cells: later cells report nothing.
    QTest::newRow("reports-after-the-batch") << "if(j>1;if(j>5500;var(k,1,2,k-10);1);\"a\"*1)" << "1 1 1 6000"
                                             << QString();
    // With a row name the counter moves by two per cell: the batch ends after 2500 cells.
    QTest::newRow("reports-at-the-batch-end") << "if(j>1;if(j=2500;var(k,1,2,k-10);1);\"a\"*1)" << "1 1 1 3000"
                                              << "\"r\"";
}

void TestEngines::generatedSameResults()
{
    QFETCH(QString, formula);
    QFETCH(QString, range);
    QFETCH(QString, rowName);
    KXDataModelGeneric input;
    KXFormulaGenerator::fillTable(input);
    KXEquationVariableModel variables;
    KXFormulaGenerator::addVariables(variables, &input);
    const QStringList fast = outcome(Engine::Fast, formula, range, rowName, variables);
    const QStringList reference = outcome(Engine::Reference, formula, range, rowName, variables);
    QCOMPARE(fast.join(QLatin1Char(10)), reference.join(QLatin1Char(10)));
}

void TestEngines::seededTable_data()
{
    QTest::addColumn<QString>("formula");
    QTest::newRow("two-draws-differ") << "rand()-rand()+0*j";
    QTest::newRow("bounds-per-cell") << "rand(i,i+j)";
    QTest::newRow("in-a-loop") << "sum(k,1,3,rand(0,1)*10^k)+0*i";
    QTest::newRow("in-a-condition") << "if(i>j;rand();\"t\"+rand(1,2))";
    QTest::newRow("walked-then-drawn") << "var(k,1,3,rand(0,k))+rand()";
}

// A table that draws is a function of the formula and the seed: the same on both engines, on
// one thread or two and every time; another seed gives another table.
void TestEngines::seededTable()
{
    QFETCH(QString, formula);
    KXDataModelGeneric input;
    KXFormulaGenerator::fillTable(input);
    KXEquationVariableModel variables;
    KXFormulaGenerator::addVariables(variables, &input);
    const QString range = QStringLiteral("1 30 1 40");
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    const QStringList first = outcome(Engine::Fast, formula, range, QString(), variables);
    for (int run = 0; run < 5; ++run) {
        for (const Engine engine : {Engine::Fast, Engine::Reference}) {
            for (const int count : {1, 2}) {
                pool->setMaxThreadCount(count);
                const QStringList again = outcome(engine, formula, range, QString(), variables);
                pool->setMaxThreadCount(threads);
                QCOMPARE(again.join(QLatin1Char(10)), first.join(QLatin1Char(10)));
            }
        }
    }
    QCOMPARE(first.filter(QStringLiteral("error")), QStringList());
    const QStringList cells = first.filter(QRegularExpression(QStringLiteral("^(?!(row|column) header)")));
    QCOMPARE(cells.size(), 30 * 40);
    const int distinct = QSet<QString>(cells.begin(), cells.end()).size();
    QVERIFY2(distinct > cells.size() * 9 / 10, qPrintable(QString::number(distinct)));
    QVERIFY(outcome(Engine::Fast, formula, range, QString(), variables, 2027) != first);
}

QTEST_GUILESS_MAIN(TestEngines)
#include "tst_engines.moc"
