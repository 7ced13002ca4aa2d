#include "KXDataModel.h"
#include "KXEquationComputation.h"
#include "KXEquationCtrl.h"
#include "KXEquationDocument.h"
#include "KXEquationInterpreter.h"
#include "KXEquationLaunch.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"
#include "KXTestSupport.h"
#include "TDataEditor2Ctrl.h"
#include "TProgressBarMgr.h"

#include <QtTest>

#include <thread>

namespace {

/// Counts the progress displays started while it is the current one.
class ProgressCount final : public TProgressDisplay
{
public:
    ProgressCount() { TProgressDisplay::setCurrent(this); }
    ~ProgressCount() override { TProgressDisplay::setCurrent(nullptr); }
    void start(int, const QString&) override { ++starts; }
    void progress(int, bool) override {}
    void finish() override {}

    int starts = 0;
};

using Setup = QStringList; // as KXTest::configure reads it
using Engine = KXEquationComputation::Engine;
using KXTest::configure;

QStringList headers(const KXDataModelGeneric& table, Qt::Orientation orientation)
{
    QStringList texts;
    const int count = orientation == Qt::Vertical ? table.rowCount() : table.columnCount();
    for (int section = 0; section < count; ++section)
        texts << table.headerData(section, orientation).toString();
    return texts;
}
}

class TestCompute : public QObject
{
    Q_OBJECT
private slots:
    void fast_data() { cases(); }
    void fast() { check(Engine::Fast); }
    void reference_data() { cases(); }
    void reference() { check(Engine::Reference); }
    void constantShortcut();
    void progressCount();
    void rangeFields_data();
    void rangeFields();
    void cancel_data();
    void cancel();
    void handsTableToDataEditor();
    void previewBlocks_data();
    void previewBlocks();
    void previewGivesUp();
    void launchReadsCellsAsStarted();

private:
    void cases();
    void check(Engine engine);
};

void TestCompute::cases()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QVariantList>("values"); // row-major
    QTest::addColumn<QStringList>("rowHeaders");
    QTest::addColumn<QStringList>("columnHeaders");
    QTest::addColumn<QStringList>("messages");
    const auto ok = [](const char* name, const Setup& setup, const QVariantList& values, const QStringList& rows,
                       const QStringList& columns) {
        QTest::newRow(name) << setup << values << rows << columns << QStringList();
    };
    const auto fail = [](const char* name, const Setup& setup, const QStringList& messages) {
        QTest::newRow(name) << setup << QVariantList() << QStringList() << QStringList() << messages;
    };
    const QString numeric = QStringLiteral(" (expression must be numeric)");
    const QString formula = QStringLiteral("Invalid computing formula:Invalid syntax for ");

    ok("row-major", {"2*i+j", "1 3 1 2"}, {3.0, 4.0, 5.0, 6.0, 7.0, 8.0}, {"", "", ""}, {"", ""});
    ok("range-from-defaults", {"i*j", "1 NR_Input1-2 1 NC_Input1-1"}, {1.0, 2.0}, {"", ""}, {""});
    ok("texts", {"\"r\"+i", "1 2 1 1"}, {"r1", "r2"}, {"", ""}, {""});
    ok("no-value", {"NO_VALUE+i", "1 1 1 2"}, {-9999, -9999}, {""}, {"", ""});
    ok("range-rounded", {"i", "1.4 2.5 1 1"}, {1.0, 2.0, 3.0}, {"", "", ""}, {""});
    ok("dataset-cells", {"Input1(i,j)", "3 4 1 2"}, {20.0, 21.0, 30.0, 31.0}, {"", ""}, {"", ""});
    // Ranges at the ends of the int range: a block of cells must not step past the largest int
    ok("columns-to-largest-int", {"j", "1 1 2147483645 2147483647"}, {2147483645.0, 2147483646.0, 2147483647.0},
       {""}, {"", "", ""});
    ok("rows-to-largest-int", {"i*j", "2147483646 2147483647 -1 -1"}, {-2147483646.0, -2147483647.0}, {"", ""}, {""});
    ok("from-smallest-int", {"i-j", "-2147483648 -2147483648 -2147483648 -2147483647"}, {0.0, -1.0}, {""}, {"", ""});
    // Headers, per cell: sections by range number minus one; the last cell of a row or a column gives its name
    ok("kept-from-row-2", {"i+j", "2 3 1 2", "", "", "Input1"}, {3.0, 4.0, 4.0, 5.0}, {"R1", "R2"}, {"C0", "C1"});
    ok("kept-wins-over-names", {"i", "1 2 1 1", "\"n\"+i", "", "Input1"}, {1.0, 2.0}, {"R0", "R1"}, {"C0"});
    ok("names-of-last-cells", {"i", "1 2 1 3", "\"r\"+(i*10+j)", "\"c\"+(i*10+j)"}, {1.0, 1.0, 1.0, 2.0, 2.0, 2.0},
       {"r13", "r23"}, {"c21", "c22", "c23"});
    ok("kept-columns-only-from-column-2", {"i+j", "1 2 2 3", "", "", "Input1", "columns"}, {3.0, 4.0, 4.0, 5.0},
       {"", ""}, {"C1", ""});
    // Headers, constant formula: sections by output index
    ok("constant-rows-only", {"7", "1 2 1 2", "", "", "Input1", "rows"}, {7.0, 7.0, 7.0, 7.0}, {"R0", "R1"}, {"", ""});
    ok("constant-columns-only", {"7", "1 2 1 2", "", "", "Input1", "columns"}, {7.0, 7.0, 7.0, 7.0}, {"", ""}, {"C0", "C1"});
    ok("constant-from-row-2", {"7", "2 3 2 2", "", "", "Input1"}, {7.0, 7.0}, {"R0", "R1"}, {"C0"});
    ok("constant-text", {"\"ab\"", "1 2 1 1"}, {QStringLiteral("ab"), QStringLiteral("ab")}, {"", ""}, {""});
    // Failures before any cell
    fail("empty-column-range", {"i", "1 1 5 4"}, {"Invalid working range"});
    fail("empty-range-between-int-limits", {"i", "2147483647 -2147483648 1 1"}, {"Invalid working range"});
    fail("rows-beyond-int-count", {"i", "-2147483648 1 1 1"}, {"The table needs 49153 MiB of memory; *"});
    fail("formula-unreadable", {"3+-2", "1 1 1 1"}, {"Invalid syntax: 3+"});
    fail("column-name-unreadable", {"i", "1 1 1 1", "", "(1"}, {"Invalid parenthesis count"});
    fail("constant-error", {"\"a\"-1", "1 2 1 2"}, {"Invalid computing formula", "Invalid syntax for '-':a" + numeric});
    fail("constant-empty-text", {"\"\"", "1 2 1 2"}, {"Invalid syntax"});
    // Failing cells: the first in row-major order decides, then a line names it
    fail("cell-error", {"\"a\"-i", "1 2 1 2"}, {formula + "'-':a" + numeric, "row 1, column 1"});
    fail("row-name-error", {"i", "1 2 1 1", "\"a\"-i"},
         {"Invalid new line name: Invalid syntax for '-':a" + numeric, "row 1, column 1"});
    fail("formula-before-names", {"\"a\"-i", "1 1 1 1", "\"b\"-i", "\"c\"-j"},
         {formula + "'-':a" + numeric, "row 1, column 1"});
    fail("column-name-error", {"i", "1 2 1 1", "", "\"a\"-j"},
         {"Invalid new column name:Invalid syntax for '-':a" + numeric, "row 1, column 1"});
    fail("failing-cell-away-from-1", {"if(i*10+j>72;\"a\"*i;i)", "5 9 2 8"}, {formula + "'*':a" + numeric, "row 7, column 3"});
    fail("failing-cell-at-largest-int", {"if(j>2147483645;\"a\"*i;i)", "2 3 2147483600 2147483647"},
         {formula + "'*':a" + numeric, "row 2, column 2147483646"});
}

void TestCompute::check(Engine engine)
{
    QFETCH(Setup, setup);
    QFETCH(QVariantList, values);
    QFETCH(QStringList, rowHeaders);
    QFETCH(QStringList, columnHeaders);
    QFETCH(QStringList, messages);

    KXTest::MessageCapture capture;
    auto input = KXTest::makeTable(4, 2, QStringLiteral("shop"), QStringLiteral("Data"));
    KXEquationCtrl controller;
    controller.setCurrentDataModel(input.get());
    configure(controller.model(), setup);
    std::unique_ptr<KXDataModelGeneric> output(controller.compute(engine));
    QVERIFY(!controller.variableModel()->variableConstantExist(QStringLiteral("i"))
            && !controller.variableModel()->variableConstantExist(QStringLiteral("j")));
    QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
    // A message ending in "*" gives only its beginning: the rest depends on the machine.
    const QStringList reported = capture.messages();
    QCOMPARE(reported.size(), messages.size());
    for (int k = 0; k < messages.size(); ++k) {
        const QString& expected = messages.at(k);
        QVERIFY2(expected.endsWith(QLatin1Char('*')) ? reported.at(k).startsWith(expected.chopped(1))
                                                     : reported.at(k) == expected,
                 qPrintable(reported.at(k)));
    }
    QCOMPARE(bool(output), messages.isEmpty());
    if (!output)
        return;
    QCOMPARE(headers(*output, Qt::Vertical), rowHeaders);
    QCOMPARE(headers(*output, Qt::Horizontal), columnHeaders);
    for (int k = 0; k < values.size(); ++k) {
        const QVariant cell = output->cell(k / columnHeaders.size(), k % columnHeaders.size());
        QVERIFY2(KXTest::sameValue(cell, values.at(k)), qPrintable(KXTest::describe(cell)));
    }
}

// A formula without cell positions is computed once, without progress; a cell formula shows progress.
void TestCompute::constantShortcut()
{
    ProgressCount progress;
    KXEquationCtrl controller;
    configure(controller.model(), Setup{"7+rand(2,2)", "1 300 1 40"});
    std::unique_ptr<KXDataModelGeneric> output(controller.compute());
    QVERIFY(output && progress.starts == 0);
    QCOMPARE(output->data(output->index(299, 39), KXValueRole), QVariant(9.0));
    configure(controller.model(), Setup{"i*1000+j", "1 100 1 100"});
    output.reset(controller.compute(Engine::Reference));
    QVERIFY(output && progress.starts == 1);
    QCOMPARE(output->data(output->index(99, 99), KXValueRole), QVariant(100100.0));
}

// Over many blocks and batches, the count of cells done only grows and ends at the table's size.
void TestCompute::progressCount()
{
    KXEquationModel equation;
    KXEquationVariableModel variables;
    configure(&equation, {"i+j", "3 402 -5 194"});
    for (const Engine engine : {Engine::Fast, Engine::Reference}) {
        QVector<QPair<qint64, qint64>> reports;
        KXEquationComputation::Options options;
        options.engine = engine;
        options.progress = [&reports](qint64 done, qint64 total) { reports.append({done, total}); };
        std::unique_ptr<KXDataModelGeneric> output(KXEquationComputation(&equation, &variables).compute(options));
        QVERIFY(output && !reports.isEmpty());
        for (int k = 0; k < reports.size(); ++k) {
            QCOMPARE(reports.at(k).second, qint64(80000));
            QVERIFY(k == 0 || reports.at(k).first >= reports.at(k - 1).first);
        }
        QCOMPARE(reports.last().first, qint64(80000));
    }
}

void TestCompute::rangeFields_data()
{
    QTest::addColumn<QString>("range");
    QTest::addColumn<int>("rows"); // of the table; 0 when it failed
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("field"); // that failed; -1 for none

    // All four texts are read before any is evaluated: reading sum sets n to the no-value marker.
    QTest::newRow("read-then-evaluated") << "if(n=NO_VALUE;1;2) sum(n,1,2,n) 1 1" << 3 << QString() << -1;
    QTest::newRow("unreadable-first-row") << "(1 3 1 1" << 0 << "first row: Invalid parenthesis count" << 0;
    QTest::newRow("unreadable-last-column") << "1 3 1 1+" << 0 << "last column: Invalid syntax: 1+" << 3;
    QTest::newRow("error-value-last-row") << "1 Input1(0,1) 1 1" << 0
                                          << "Maximum number of lines is incorrect: Input1() : Line number unreachable" << 1;
    QTest::newRow("no-integer-first-column") << "1 1 \"a\" 1" << 0 << "Minimum number of columns is incorrect" << 2;
}

void TestCompute::rangeFields()
{
    QFETCH(QString, range);
    QFETCH(int, rows);
    QFETCH(QString, message);
    QFETCH(int, field);
    KXTest::MessageCapture capture;
    KXEquationModel equation;
    configure(&equation, {"i", range});
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("n"), 3.0);
    const auto input = KXTest::makeTable(2, 2);
    variables.addVariable(QStringLiteral("Input1"), input.get(), QString());
    KXEquationComputation computation(&equation, &variables);
    KXEquationComputation::Options options;
    options.rangeFieldNames = QStringList{"first row", "last row", "first column", "last column"};
    std::unique_ptr<KXDataModelGeneric> output(computation.compute(options));
    QCOMPARE(output ? output->rowCount() : 0, rows);
    QCOMPARE(capture.messages(), message.isEmpty() ? QStringList() : QStringList(message));
    QCOMPARE(computation.hasFailedRangeField() ? int(computation.failedRangeField()) : -1, field);
}

void TestCompute::cancel_data()
{
    QTest::addColumn<Setup>("setup");

    QTest::newRow("many-cells") << Setup{"sum(k,1,1000,k*i)+j", "1 2000 1 2000"};
    QTest::newRow("long-cell") << Setup{"sum(k,1,1e9,k*i)", "1 1 1 1"};
    QTest::newRow("long-constant") << Setup{"sum(k,1,1e9,k)", "1 1 1 1"};
}

void TestCompute::cancel()
{
    QFETCH(Setup, setup);

    KXTest::MessageCapture capture;
    KXEquationModel equation;
    KXEquationVariableModel variables;
    configure(&equation, setup);
    std::atomic<bool> cancel{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel.store(true);
    });
    KXEquationComputation computation(&equation, &variables);
    KXEquationComputation::Options options;
    options.cancel = &cancel;
    std::unique_ptr<KXDataModelGeneric> output(computation.compute(options));
    canceller.join();
    QVERIFY(!output);
    QCOMPARE(int(computation.outcome()), int(KXEquationComputation::Outcome::Cancelled));
    QCOMPARE(capture.messages(), QStringList{"Computation cancelled"});
    QVERIFY(!variables.variableConstantExist(QStringLiteral("i")) && !variables.cancelFlag());
}

void TestCompute::handsTableToDataEditor()
{
    TDataEditor2Ctrl* editor = ModuleLauncherInterface::returnMe()->dataEditor(0);
    const int before = editor->shownModels().size();
    KXEquationCtrl controller;
    configure(controller.model(), Setup{"i", "1 2 1 2"});
    QVERIFY(QMetaObject::invokeMethod(&controller, "slotCompute"));
    QCOMPARE(editor->shownModels().size(), before + 1);
    QVERIFY(editor->keeps(editor->shownModels().last()));

    configure(controller.model(), Setup{"3+-2", "1 2 1 2"});
    KXTest::MessageCapture capture;
    QVERIFY(QMetaObject::invokeMethod(&controller, "slotCompute"));
    QCOMPARE(editor->shownModels().size(), before + 1);
}

void TestCompute::previewBlocks_data()
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
    QTest::newRow("unreadable-name") << QStringList{"i", "1 2 1 2", "\"r\" +"} << "Invalid syntax: \"r\"+@0+5";
    QTest::newRow("failing-cell") << QStringList{"if(i=3;\"a\"*j;1)", "1 5 1 2"}
                                  << "Invalid computing formula:Invalid syntax for '*':a (expression must be numeric)|"
                                     "row 3, column 1";
    QTest::newRow("empty-range") << QStringList{"i", "3 2 1 1"} << "Invalid working range";
    QTest::newRow("unreadable-range") << QStringList{"i", "1 NR_Input2 1 1"} << "field 1: Invalid syntax: NR_Input2";
}

void TestCompute::previewBlocks()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, shown);
    KXEquationModel equation;
    KXTest::configure(&equation, setup);
    const auto table = KXTest::makeTable(8, 7, "sales", "q1");
    KXEquationVariableModel variables;
    variables.addVariable("Input1", table.get(), QString());

    KXTest::MessageCapture log;
    const KXEquationPreview::Block block = KXEquationPreview::compute(equation, variables, nullptr);
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
    if (block.rangeFailure)
        parts << QStringLiteral("field %1: ").arg(int(block.rangeField)) + block.rangeFailure->message();
    QString result = parts.join('|');
    if (block.readingFailure)
        result += QStringLiteral("@%1+%2").arg(block.readingFailure->start()).arg(block.readingFailure->length());
    QCOMPARE(result, shown);
    QCOMPARE(log.messages(), QStringList());
}

void TestCompute::previewGivesUp()
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
    preview.request(equation, KXEquationVariableModel());
    QTRY_COMPARE_WITH_TIMEOUT(states.size(), 1, 5000);
    QCOMPARE(states.first(), KXEquationPreview::Block::State::TooSlow);
    QVERIFY(ticks > 0);
    QTRY_VERIFY_WITH_TIMEOUT(!preview.isBusy(), 30000);
    QCOMPARE(states.size(), 1);
}

// The user edits a table while a launch reads it: the launch goes on with the cells as they were
// when it started, never a mix.
void TestCompute::launchReadsCellsAsStarted()
{
    const auto input = KXTest::makeTable(100, 100, "big", "q1");
    KXEquationVariableModel variables;
    variables.addVariable("Input1", input.get(), QString());
    KXEquationModel equation;
    configure(&equation, {"Input1(i,j)+sum(k,1,5000,k*0)", "1 100 1 100"});
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

QTEST_GUILESS_MAIN(TestCompute)
#include "tst_compute.moc"
