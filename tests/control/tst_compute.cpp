#include "KXDataModel.h"
#include "KXEquationComputation.h"
#include "KXEquationCtrl.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"
#include "KXTestSupport.h"
#include "TDataEditor2Ctrl.h"
#include "TProgressBarMgr.h"

#include <QtTest>

#include <thread>

Q_DECLARE_METATYPE(KXEquationComputation::Engine)

namespace {

class Timeline : public TProgressDisplay
{
public:
    Timeline()
    {
        TProgressDisplay::setCurrent(this);
        KXDataModelGeneric::setCreationObserver([this](KXDataModelGeneric* table) {
            QObject::connect(table, &QAbstractItemModel::dataChanged, [this] { ++writes; });
        });
    }
    ~Timeline() override
    {
        TProgressDisplay::setCurrent(nullptr);
        KXDataModelGeneric::setCreationObserver(nullptr);
    }
    void start(int, const QString& text) override { ++starts; startText = text; }
    void progress(int value, bool refresh) override
    {
        if (writes != writesAtLastMark) {
            batches.append({lastValue, writes - writesAtLastMark});
            writesAtLastMark = writes;
        }
        lastValue = value;
        if (refresh)
            ++refreshes;
    }
    void finish() override { finishedAfterWrites = writes; }

    int starts = 0, refreshes = 0, writes = 0, writesAtLastMark = 0, lastValue = 0, finishedAfterWrites = -1;
    QString startText;
    QList<QPair<int, int>> batches; // progress value before the batch, cells written in it
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
    void batches();
    void cancel_data();
    void cancel();
    void handsTableToDataEditor();
    void outputName();

private:
    void cases();
    void check(Engine engine);
};

void TestCompute::cases()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<bool>("french");
    QTest::addColumn<QVariantList>("values"); // row-major
    QTest::addColumn<QStringList>("rowHeaders");
    QTest::addColumn<QStringList>("columnHeaders");
    QTest::addColumn<QStringList>("messages");
    const auto ok = [](const char* name, const Setup& setup, const QVariantList& values, const QStringList& rows,
                       const QStringList& columns) {
        QTest::newRow(name) << setup << false << values << rows << columns << QStringList();
    };
    const auto fail = [](const char* name, const Setup& setup, bool french, const QStringList& messages) {
        QTest::newRow(name) << setup << french << QVariantList() << QStringList() << QStringList() << messages;
    };
    const QString numeric = QStringLiteral(" (expression must be numeric)");
    const QString formula = QStringLiteral("Invalid computing formula:Invalid syntax for ");

    ok("row-major", {"2*i+j", "1 3 1 2"}, {3.0, 4.0, 5.0, 6.0, 7.0, 8.0}, {"", "", ""}, {"", ""});
    ok("range-from-defaults", {"i*j", "1 NR_Input1-2 1 NC_Input1-1"}, {1.0, 2.0}, {"", ""}, {""});
    ok("one-cell", {"j-i", "4 4 9 9"}, {5.0}, {""}, {""});
    ok("texts", {"\"r\"+i", "1 2 1 1"}, {"r1", "r2"}, {"", ""}, {""});
    ok("no-value", {"NO_VALUE+i", "1 1 1 2"}, {-9999, -9999}, {""}, {"", ""});
    ok("range-rounded", {"i", "1.4 2.5 1 1"}, {1.0, 2.0, 3.0}, {"", "", ""}, {""});
    ok("dataset-cells", {"Input1(i,j)", "3 4 1 2"}, {20.0, 21.0, 30.0, 31.0}, {"", ""}, {"", ""});
    // Headers, per cell: sections by range number minus one; the last cell of a row or a column gives its name
    ok("kept-from-row-2", {"i+j", "2 3 1 2", "", "", "Input1"}, {3.0, 4.0, 4.0, 5.0}, {"R1", "R2"}, {"C0", "C1"});
    ok("kept-wins-over-names", {"i", "1 2 1 1", "\"n\"+i", "", "Input1"}, {1.0, 2.0}, {"R0", "R1"}, {"C0"});
    ok("names-of-last-cells", {"i", "1 2 1 3", "\"r\"+(i*10+j)", "\"c\"+(i*10+j)"}, {1.0, 1.0, 1.0, 2.0, 2.0, 2.0},
       {"r13", "r23"}, {"c21", "c22", "c23"});
    ok("names-without-header-dataset", {"i", "1 2 1 1", "i*10", "", ""}, {1.0, 2.0}, {"10", "20"}, {""});
    ok("kept-columns-only-from-column-2", {"i+j", "1 2 2 3", "", "", "Input1", "columns"}, {3.0, 4.0, 4.0, 5.0},
       {"", ""}, {"C1", ""});
    // Headers, constant formula: sections by output index
    ok("constant-rows-only", {"7", "1 2 1 2", "", "", "Input1", "rows"}, {7.0, 7.0, 7.0, 7.0}, {"R0", "R1"}, {"", ""});
    ok("constant-from-row-2", {"7", "2 3 2 2", "", "", "Input1"}, {7.0, 7.0}, {"R0", "R1"}, {"C0"});
    // Failures before any cell
    fail("range-unreadable", {"i", "1 3 1 1+"}, false, {"Invalid syntax: 1+"});
    fail("range-error-value", {"i", "\"a\"-1 3 1 1"}, false,
         {"Minimum number of lines is incorrect:Invalid syntax for '-':a" + numeric});
    fail("range-not-integer-fr", {"i", "1 3 1 \"x\""}, true, {"Le nombre maximum de colonnes est incorrect"});
    fail("range-empty-text", {"i", "1 3 1 "}, false, {"Expression to evaluate is empty"});
    fail("empty-range", {"i", "5 4 1 1"}, false, {"Invalid working range"});
    fail("memory", {"i", "1 1000000 1 1000000"}, false, {"The table needs 15258820 MiB of memory; this machine has *"});
    fail("formula-unreadable", {"3+-2", "1 1 1 1"}, false, {"Invalid syntax: 3+"});
    fail("column-name-unreadable-fr", {"i", "1 1 1 1", "", "(1"}, true, {"Le nombre de parenthèses est incorrect"});
    fail("constant-error", {"\"a\"-1", "1 2 1 2"}, false, {"Invalid computing formula", "Invalid syntax for '-':a" + numeric});
    fail("constant-empty-text", {"\"\"", "1 2 1 2"}, false, {"Invalid syntax"});
    // Failing cells: the first in row-major order decides, then a line names it
    fail("cell-error", {"\"a\"-i", "1 2 1 2"}, false, {formula + "'-':a" + numeric, "row 1, column 1"});
    fail("first-of-many-failing-cells", {"if(i*10+j>22;\"a\"*i;i)", "1 4 1 3"}, false,
         {formula + "'*':a" + numeric, "row 2, column 3"});
    fail("row-name-error", {"i", "1 2 1 1", "\"a\"-i"}, false,
         {"Invalid new line name: Invalid syntax for '-':a" + numeric, "row 1, column 1"});
    fail("formula-before-names", {"\"a\"-i", "1 1 1 1", "\"b\"-i", "\"c\"-j"}, false,
         {formula + "'-':a" + numeric, "row 1, column 1"});
    fail("column-name-error", {"i", "1 2 1 1", "", "\"a\"-j"}, false,
         {"Invalid new column name:Invalid syntax for '-':a" + numeric, "row 1, column 1"});
}

void TestCompute::check(Engine engine)
{
    QFETCH(Setup, setup);
    QFETCH(bool, french);
    QFETCH(QVariantList, values);
    QFETCH(QStringList, rowHeaders);
    QFETCH(QStringList, columnHeaders);
    QFETCH(QStringList, messages);

    KXTest::LanguageScope language(french);
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

void TestCompute::constantShortcut()
{
    Timeline timeline;
    KXEquationCtrl controller;
    configure(controller.model(), Setup{"7+rand(2,2)", "1 300 1 40"});
    std::unique_ptr<KXDataModelGeneric> output(controller.compute());
    QVERIFY(output);
    QCOMPARE(timeline.starts, 0);
    QCOMPARE(output->rowCount(), 300);
    QCOMPARE(output->data(output->index(299, 39), KXValueRole), QVariant(9.0));
}

void TestCompute::batches()
{
    Timeline timeline;
    KXEquationCtrl controller;
    configure(controller.model(), Setup{"i*1000+j", "1 100 1 100"});
    std::unique_ptr<KXDataModelGeneric> output(controller.compute(Engine::Reference));
    QVERIFY(output);
    QCOMPARE(timeline.starts, 1);
    QCOMPARE(timeline.refreshes, 10000 / 25);
    QCOMPARE(timeline.batches, (QList<QPair<int, int>>{{4999, 4999}, {9999, 5000}}));
    QCOMPARE(timeline.finishedAfterWrites, 9999);
    QCOMPARE(timeline.writes, 10000);
    QCOMPARE(output->data(output->index(99, 99), KXValueRole), QVariant(100100.0));
}

void TestCompute::cancel_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<Setup>("setup");

    QTest::newRow("many-cells-fast") << Engine::Fast << Setup{"sum(k,1,1000,k*i)+j", "1 2000 1 2000"};
    QTest::newRow("long-cell-fast") << Engine::Fast << Setup{"sum(k,1,1e9,k*i)", "1 1 1 1"};
    QTest::newRow("long-constant") << Engine::Fast << Setup{"sum(k,1,1e9,k)", "1 1 1 1"};
}

void TestCompute::cancel()
{
    QFETCH(Engine, engine);
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
    options.engine = engine;
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

void TestCompute::outputName()
{
    auto input = KXTest::makeTable(2, 2, QStringLiteral("shop"), QStringLiteral("Data"));
    KXEquationCtrl controller;
    controller.setCurrentDataModel(input.get());
    controller.model()->setFormula(QStringLiteral("i"));
    std::unique_ptr<KXDataModelGeneric> output(controller.compute());
    QString dataset, subdataset;
    output->getName(dataset, subdataset);
    QCOMPARE(dataset + QLatin1Char('.') + subdataset, QStringLiteral("shop.Data_2"));
}

QTEST_GUILESS_MAIN(TestCompute)
#include "tst_compute.moc"
