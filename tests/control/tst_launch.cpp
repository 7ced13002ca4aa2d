#include "KXDataModel.h"
#include "KXEquationInterpreter.h"
#include "KXEquationLaunch.h"
#include "KXTestSupport.h"

#include <QtTest>

class TestLaunch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void previewBlocks_data();
    void previewBlocks();
    void previewGivesUp();
    void launchReadsCellsAsStarted();

private:
    std::unique_ptr<KXDataModelGeneric> m_table;
    KXEquationVariableModel m_variables;
};

void TestLaunch::initTestCase()
{
    m_table = KXTest::makeTable(8, 7, "sales", "q1");
    m_variables.addVariable("Input1", m_table.get(), QString());
}

void TestLaunch::previewBlocks_data()
{
    QTest::addColumn<QStringList>("setup"); // as KXTest::configure reads it
    QTest::addColumn<QString>("shown"); // column headers, then "header: cells" per row; or what failed

    QTest::newRow("dataset-headers") << QStringList{"Input1(i,j)", "2 NR_Input1 1 NC_Input1", "", "", "Input1"}
                                     << "C0 C1 C2 C3 C4|R1: 10 11 12 13 14|R2: 20 21 22 23 24|R3: 30 31 32 33 34|"
                                        "R4: 40 41 42 43 44|R5: 50 51 52 53 54";
    QTest::newRow("name-formulas") << QStringList{"i*j", "1 3 2 3", "\"r\"+i", "\"c\"+j"}
                                   << "c2 c3|r1: 2 3|r2: 4 6|r3: 6 9";
    QTest::newRow("range-numbers") << QStringList{"i-j", "4 5 7 7"} << "7|4: -3|5: -2";
    QTest::newRow("same-in-every-cell") << QStringList{"\"x\"", "1 9 1 1"} << "1|1: x|2: x|3: x|4: x|5: x";
    QTest::newRow("unreadable") << QStringList{"2 * -3", "1 2 1 2"} << "Invalid syntax: 2*@0+3";
    QTest::newRow("unreadable-name") << QStringList{"i", "1 2 1 2", "\"r\" +"} << "Invalid syntax: \"r\"+@0+5";
    QTest::newRow("failing-cell") << QStringList{"if(i=3;\"a\"*j;1)", "1 5 1 2"}
                                  << "Invalid computing formula:Invalid syntax for '*':a (expression must be numeric)|"
                                     "row 3, column 1";
    QTest::newRow("empty-range") << QStringList{"i", "3 2 1 1"} << "Invalid working range";
    QTest::newRow("unreadable-range") << QStringList{"i", "1 NR_Input2 1 1"} << "Invalid syntax: NR_Input2";
}

void TestLaunch::previewBlocks()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, shown);
    KXEquationModel equation;
    KXTest::configure(&equation, setup);

    KXTest::MessageCapture log;
    const KXEquationPreview::Block block = KXEquationPreview::compute(equation, m_variables, nullptr);
    QStringList parts;
    if (block.state == KXEquationPreview::Block::State::Cells) {
        parts << block.columnHeaders.join(' ');
        for (int r = 0; r < block.cells.size(); ++r) {
            QStringList cells;
            for (const QVariant& cell : block.cells.at(r))
                cells << cell.toString();
            parts << block.rowHeaders.value(r) + ": " + cells.join(' ');
        }
    } else {
        parts = block.messages;
    }
    QString result = parts.join('|');
    if (block.readingFailure)
        result += QStringLiteral("@%1+%2").arg(block.readingFailure->start()).arg(block.readingFailure->length());
    QCOMPARE(result, shown);
    QCOMPARE(log.messages(), QStringList());
}

void TestLaunch::previewGivesUp()
{
    KXEquationPreview preview;
    preview.setBudget(50);
    QList<KXEquationPreview::Block::State> states;
    connect(&preview, &KXEquationPreview::ready, this,
            [&states](const KXEquationPreview::Block& block) { states.append(block.state); });
    KXEquationModel equation;
    KXTest::configure(&equation, {"sum(k,1,2000000,k/i)", "1 5 1 5"});
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(10);
    preview.request(equation, m_variables);
    QTRY_COMPARE_WITH_TIMEOUT(states.size(), 1, 5000);
    QCOMPARE(states.first(), KXEquationPreview::Block::State::TooSlow);
    QVERIFY(ticks > 0);
    QTRY_VERIFY_WITH_TIMEOUT(!preview.isBusy(), 30000);
    QCOMPARE(states.size(), 1);
}

// The user edits a table while a launch reads it: the launch goes on with the cells as they were
// when it started, never a mix.
void TestLaunch::launchReadsCellsAsStarted()
{
    const auto input = KXTest::makeTable(100, 100, "big", "q1");
    KXEquationVariableModel variables;
    variables.addVariable("Input1", input.get(), QString());
    KXEquationModel equation;
    equation.setFormula("Input1(i,j)+sum(k,1,5000,k*0)");
    equation.setRowStart("1");
    equation.setRowEnd("100");
    equation.setColStart("1");
    equation.setColEnd("100");
    KXEquationLaunch launch(equation, variables);
    bool finished = false;
    connect(&launch, &KXEquationLaunch::finished, this, [&finished] { finished = true; });
    launch.start();
    QElapsedTimer waited; // the cells are taken before the first progress
    waited.start();
    while (launch.cellsTotal() == 0 && waited.elapsed() < 10000)
        QThread::yieldCurrentThread();
    for (int r = 0; r < 100; ++r) {
        for (int c = 0; c < 100; ++c)
            input->setCell(r, c, -1.0);
    }
    QTRY_VERIFY_WITH_TIMEOUT(finished, 30000);
    const std::unique_ptr<KXDataModelGeneric> output(launch.takeTable());
    QVERIFY(output);
    for (int r = 0; r < 100; ++r) {
        for (int c = 0; c < 100; ++c)
            QCOMPARE(output->cell(r, c).toDouble(), double(r * 10 + c));
    }
}

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_launch.moc"
