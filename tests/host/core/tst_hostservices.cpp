#include "KXDataModel.h"
#include "KXTestSupport.h"

#include <QtTest>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

class TestHostServices : public QObject
{
    Q_OBJECT
private slots:
    void dispatchFromThreads();
    void repeatsCollapsed_data();
    void repeatsCollapsed();
    void sharedCellsKeepTheirValues_data();
    void sharedCellsKeepTheirValues();
    void cellKindsRoundTrip_data();
    void cellKindsRoundTrip();
};

// Reports made at once from several threads all arrive, none lost or torn.
void TestHostServices::dispatchFromThreads()
{
    const int threadCount = 8;
    const int reportsPerThread = 200;
    KXTest::MessageCapture capture;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int thread = 0; thread < threadCount; ++thread) {
        threads.emplace_back(QThread::create([thread] {
            for (int report = 0; report < reportsPerThread; ++report) {
                const QString text = QStringLiteral("thread %1 report %2").arg(thread).arg(report);
                if (report % 2)
                    KXError::dispatchError(KXError(text, QString(), QString()));
                else
                    MessageLoggerInterface::Error(text, nullptr);
            }
        }));
    }
    for (auto& thread : threads)
        thread->start();
    for (auto& thread : threads)
        QVERIFY(thread->wait(60000));

    const QStringList messages = capture.messages();
    QCOMPARE(messages.size(), threadCount * reportsPerThread);
    QCOMPARE(QSet<QString>(messages.begin(), messages.end()).size(), threadCount * reportsPerThread);
}

void TestHostServices::repeatsCollapsed_data()
{
    QTest::addColumn<QStringList>("reports"); // "log:" marks a log report, others are exceptions
    QTest::addColumn<bool>("nested");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("order-of-first") << QStringList{"b", "a", "b", "a", "a"} << false
                                    << QStringList{"b", "a", "b (repeated 1 times)", "a (repeated 2 times)"};
    QTest::newRow("origins-apart") << QStringList{"a", "log:a"} << false << QStringList{"a", "a"};
    QTest::newRow("inner-scope-adds-nothing") << QStringList{"a", "a"} << true << QStringList{"a", "a (repeated 1 times)"};
}

void TestHostServices::repeatsCollapsed()
{
    QFETCH(QStringList, reports);
    QFETCH(bool, nested);
    QFETCH(QStringList, expected);

    KXTest::MessageCapture capture;
    {
        const KXReportScope scope;
        std::unique_ptr<KXReportScope> inner(nested ? new KXReportScope : nullptr);
        for (const QString& report : reports) {
            if (report.startsWith(QLatin1String("log:")))
                MessageLoggerInterface::Error(report.mid(4), nullptr);
            else
                KXError::dispatchError(KXError(report));
        }
        inner.reset();
        if (nested)
            QCOMPARE(capture.messages(), expected.mid(0, 1));
    }
    QCOMPARE(capture.messages(), expected);
    // Once the scope has ended, every report is passed on again.
    KXError::dispatchError(KXError(QStringLiteral("a")));
    QCOMPARE(capture.messages().size(), expected.size() + 1);
}

namespace {
using Writer = void (*)(KXDataModelGeneric&);
const std::pair<const char*, Writer> WRITERS[] = {
    {"setCell", [](KXDataModelGeneric& table) { table.setCell(0, 0, 9.0); }},
    {"setData", [](KXDataModelGeneric& table) { table.setData(table.index(0, 0), 9.0); }},
    {"writableCells", [](KXDataModelGeneric& table) { table.writableCells().setNumber(0, 9.0); }},
    {"createEmpty", [](KXDataModelGeneric& table) { table.createEmpty(3, 1); }},
    {"setContents", [](KXDataModelGeneric& table) { table.setContents(1, 1, {9.0}, {QVariant()}, {QVariant()}); }},
};
}

void TestHostServices::sharedCellsKeepTheirValues_data()
{
    QTest::addColumn<int>("writer");
    for (size_t k = 0; k < sizeof(WRITERS) / sizeof(WRITERS[0]); ++k)
        QTest::newRow(WRITERS[k].first) << int(k);
}

// A reader's cells, and a table sharing them, stay as they were when they took them, whichever way
// the table is written next; the table itself sees the write.
void TestHostServices::sharedCellsKeepTheirValues()
{
    QFETCH(int, writer);
    KXDataModelGeneric table;
    table.setContents(2, 1, {1.0, 2.0}, {QVariant()}, {QVariant(), QVariant()});
    const KXDataModelGeneric::SharedCells shared = table.sharedCells();
    KXDataModelGeneric sharing;
    QVERIFY(sharing.shareContents(shared, table.rowHeaders(), table.columnHeaders()));
    WRITERS[writer].second(table);
    QCOMPARE(sharing.cell(0, 1), QVariant(2.0));
    QCOMPARE(sharing.columnCount(), 2);
    QCOMPARE(shared.store->at(0), QVariant(1.0));
    QCOMPARE(shared.store->at(1), QVariant(2.0));
    const QVariant written = table.cell(0, 0);
    QVERIFY(written == QVariant(9.0) || (written.isNull() && table.columnCount() == 3));
}

namespace {
double fromBits(quint64 bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
}

void TestHostServices::cellKindsRoundTrip_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("number");
    QTest::newRow("double") << QVariant(1.5) << true;
    QTest::newRow("negative zero") << QVariant(-0.0) << true;
    QTest::newRow("quiet nan") << QVariant(std::numeric_limits<double>::quiet_NaN()) << true;
    QTest::newRow("infinity") << QVariant(-std::numeric_limits<double>::infinity()) << true;
    QTest::newRow("double with the int tag's bits") << QVariant(fromBits(0x7FF2000100000005ull)) << false;
    QTest::newRow("double with the bool tag's bits") << QVariant(fromBits(0x7FF2000200000001ull)) << false;
    QTest::newRow("null double") << QVariant(QVariant::Double) << false;
    QTest::newRow("int no-value marker") << QVariant(-9999) << false;
    QTest::newRow("smallest int") << QVariant(std::numeric_limits<int>::min()) << false;
    QTest::newRow("largest int") << QVariant(std::numeric_limits<int>::max()) << false;
    QTest::newRow("true") << QVariant(true) << false;
    QTest::newRow("false") << QVariant(false) << false;
    QTest::newRow("text") << QVariant(QStringLiteral("Coffee beans")) << false;
    QTest::newRow("empty text") << QVariant(QString(QLatin1String(""))) << false;
    QTest::newRow("invalid") << QVariant() << false;
    QTest::newRow("long long") << QVariant(qlonglong(1) << 40) << false;
    QTest::newRow("float") << QVariant(1.5f) << false;
}

// Every kind a cell is given is the kind it answers, exactly, from the table and from a copy of its
// store, over a cell that held a text before; the text of the next cell is untouched.
void TestHostServices::cellKindsRoundTrip()
{
    QFETCH(QVariant, value);
    QFETCH(bool, number);
    KXDataModelGeneric table;
    table.setContents(2, 1, {QStringLiteral("before"), QStringLiteral("next")}, {QVariant()}, {QVariant(), QVariant()});
    QVERIFY(table.setData(table.index(0, 0), value, KXValueRole));
    const auto copied = table.sharedCells().store->copy();
    table.setCell(0, 1, 2.0);
    for (const QVariant& read : {table.data(table.index(0, 0), KXValueRole), copied->at(0)}) {
        QCOMPARE(read.userType(), value.userType());
        QCOMPARE(read.isNull(), value.isNull());
        QCOMPARE(KXTest::describe(read), KXTest::describe(value));
    }
    double stored = 0;
    QCOMPARE(table.number(0, 0, stored), number);
    QCOMPARE(copied->at(1), QVariant(QStringLiteral("next")));
    QCOMPARE(table.cell(0, 1), QVariant(2.0));
}

QTEST_GUILESS_MAIN(TestHostServices)
#include "tst_hostservices.moc"
