#include "KXCsv.h"
#include "KXDataModel.h"
#include "KXTestSupport.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

Q_DECLARE_METATYPE(KXFileStatus)

namespace {
const QString SourceName = QStringLiteral("table.csv");
}

class TestCsv : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void writeReadWrite_data();
    void writeReadWrite();
    void writeLargeTable_data();
    void writeLargeTable();
    void read_data();
    void read();
    void readInParts_data();
    void readInParts();
    void malformed_data();
    void malformed();
    void unreadableFile_data();
    void unreadableFile();
    void followedReading_data();
    void followedReading();
};

void TestCsv::roundTrip_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QVariant>("readBack");

    QTest::newRow("double-shortest") << QVariant(0.1) << QByteArray("0.1") << QVariant(0.1);
    QTest::newRow("double-subnormal") << QVariant(5e-324) << QByteArray("5e-324") << QVariant(5e-324);
    QTest::newRow("int") << QVariant(42) << QByteArray("42") << QVariant(42.0);
    QTest::newRow("float-widened") << QVariant(0.1f) << QByteArray("0.10000000149011612") << QVariant(double(0.1f));
    QTest::newRow("text-comma") << QVariant(QStringLiteral("a,b")) << QByteArray("\"a,b\"")
                                << QVariant(QStringLiteral("a,b"));
    QTest::newRow("text-quote") << QVariant(QStringLiteral("say \"hi\"")) << QByteArray("\"say \"\"hi\"\"\"")
                                << QVariant(QStringLiteral("say \"hi\""));
    QTest::newRow("text-zero-first") << QVariant(QChar(0) + QStringLiteral("r")) << QByteArray("\"\0r\"", 4)
                                     << QVariant(QChar(0) + QStringLiteral("r"));
    QTest::newRow("empty-cell") << QVariant() << QByteArray() << QVariant();
}

// The value is written as a cell and as both headers, then read back.
void TestCsv::roundTrip()
{
    QFETCH(QVariant, value);
    QFETCH(QByteArray, field);
    QFETCH(QVariant, readBack);

    KXDataModelGeneric table;
    table.createEmpty(1, 1);
    table.setData(table.index(0, 0), value, KXValueRole);
    table.setHeaderData(0, Qt::Horizontal, value, KXValueRole);
    table.setHeaderData(0, Qt::Vertical, value, KXValueRole);

    const QByteArray written = KXCsv::write(table, {KXNumberFormat::Precision::Full, false});
    QCOMPARE(written, QByteArray("," + field + "\n" + field + "," + field + "\n"));

    KXDataModelGeneric copy;
    QString error;
    QVERIFY2(KXCsv::readData(written, SourceName, copy, &error), qPrintable(error));
    QCOMPARE(copy.rowCount(), 1);
    QCOMPARE(copy.columnCount(), 1);
    QVERIFY(KXTest::sameValue(copy.data(copy.index(0, 0), KXValueRole), readBack));
    QVERIFY(KXTest::sameValue(copy.headerData(0, Qt::Horizontal, Qt::DisplayRole), readBack));
    QVERIFY(KXTest::sameValue(copy.headerData(0, Qt::Vertical, Qt::DisplayRole), readBack));
}

void TestCsv::writeReadWrite_data()
{
    QTest::addColumn<int>("precision");
    QTest::addColumn<bool>("marker");
    QTest::addColumn<QByteArray>("line");

    const auto readable = int(KXNumberFormat::Precision::Readable);
    const auto full = int(KXNumberFormat::Precision::Full);
    QTest::newRow("readable-empty") << readable << false
        << QByteArray(",0.3,1e-7,1e21,0,0,nan,-inf,9.00719925474099e15,192.5,\"12\",,,,true\n");
    QTest::newRow("full-empty") << full << false
        << QByteArray(",0.30000000000000004,1e-7,1e21,0,-0,nan,-inf,9007199254740992,192.50000000000003,\"12\",,,,true\n");
    QTest::newRow("readable-marker") << readable << true
        << QByteArray(",0.3,1e-7,1e21,0,0,nan,-inf,9.00719925474099e15,192.5,\"12\",-9999,-9999,-9999,true\n");
}

// A written table read and written again gives the same bytes.
void TestCsv::writeReadWrite()
{
    QFETCH(int, precision);
    QFETCH(bool, marker);
    QFETCH(QByteArray, line);

    const QVariantList cells = {0.1 + 0.2, 1e-7, 1e21, 0.0, -0.0, std::numeric_limits<double>::quiet_NaN(),
                                -std::numeric_limits<double>::infinity(), QVariant(qlonglong(1) << 53 | 1),
                                192.50000000000003, QStringLiteral("12"), QString(""), QVariant(), -9999, true};
    KXDataModelGeneric table;
    table.createEmpty(cells.size(), 1);
    for (int column = 0; column < cells.size(); ++column)
        table.setData(table.index(0, column), cells.at(column), KXValueRole);
    const KXCsv::WriteOptions options{KXNumberFormat::Precision(precision), marker};

    const QByteArray written = KXCsv::write(table, options);
    QCOMPARE(written.mid(written.indexOf('\n') + 1), line);
    KXDataModelGeneric copy;
    QString error;
    QVERIFY2(KXCsv::readData(written, SourceName, copy, &error), qPrintable(error));
    QCOMPARE(KXCsv::write(copy, options), written);
}

void TestCsv::writeLargeTable_data()
{
    QTest::addColumn<bool>("throughProxy");
    QTest::newRow("host-table-on-the-pool") << false;
    QTest::newRow("any-model-in-order") << true;
}

// A table of many blocks of rows comes out in order, every kind of cell in its usual field.
void TestCsv::writeLargeTable()
{
    QFETCH(bool, throughProxy);

    const QVector<QPair<QVariant, QByteArray>> cells = {
        {-0.0, "0"}, {1e-300, "1e-300"}, {1e300, "1e300"}, {0.1 + 0.2, "0.3"}, {-9999.0, ""}, {-9999, ""},
        {std::numeric_limits<double>::quiet_NaN(), "nan"}, {std::numeric_limits<double>::infinity(), "inf"},
        {42, "42"}, {36603815374805.25, "36603815374805.3"}, {2.5e-5, "2.5e-5"}, {1e15, "1e15"},
        {QStringLiteral("a,b"), "\"a,b\""}, {QStringLiteral("12"), "\"12\""}, {QStringLiteral("plain"), "plain"},
        {QString(""), ""}, {true, "true"}, {QVariant(), ""}, {0.5f, "0.5"}};
    const int rows = 5000;
    const int columns = 7;
    KXDataModelGeneric table;
    table.createEmpty(columns, rows);
    QByteArray expected;
    for (int column = 0; column < columns; ++column)
        expected += ",c" + QByteArray::number(column);
    expected += '\n';
    for (int row = 0; row < rows; ++row) {
        expected += 'r' + QByteArray::number(row);
        table.setHeaderData(row, Qt::Vertical, QStringLiteral("r%1").arg(row), KXValueRole);
        for (int column = 0; column < columns; ++column) {
            const auto& cell = cells.at((row * columns + column) % cells.size());
            table.setCell(row, column, cell.first);
            expected += ',' + cell.second;
        }
        expected += '\n';
    }
    for (int column = 0; column < columns; ++column)
        table.setHeaderData(column, Qt::Horizontal, QStringLiteral("c%1").arg(column), KXValueRole);

    KXDataModelProxy proxy;
    proxy.setSourceModel(&table);
    const QAbstractItemModel& model = throughProxy ? static_cast<const QAbstractItemModel&>(proxy) : table;
    QCOMPARE(KXCsv::write(model), expected);
    // A sink that refuses stops the writing at once.
    int blocks = 0;
    QVERIFY(!KXCsv::write(model, {}, [&blocks](const char*, qint64) { return ++blocks < 2; }));
    QCOMPARE(blocks, 2);
}

void TestCsv::read_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("table"); // written back at full precision
    // The byte-order mark goes whole: a quoted top-left field follows it.
    QTest::newRow("bom-and-crlf") << QByteArray("\xEF\xBB\xBF\"\n\",a,b\r\nr1,1,x\r\n") << QByteArray(",a,b\nr1,1,x\n");
    QTest::newRow("short-line-padded") << QByteArray(",a,b\nr1,1\n") << QByteArray(",a,b\nr1,1,\n");
    QTest::newRow("headers-absent") << QByteArray(",,\n,1,2\n") << QByteArray(",,\n,1,2\n");
    QTest::newRow("inner-blank-line") << QByteArray(",a\n\nr2,4\n") << QByteArray(",a\n,\nr2,4\n");
    QTest::newRow("quoted-line-break") << QByteArray(",a\n\"r\n1\",5\n") << QByteArray(",a\n\"r\n1\",5\n");
    QTest::newRow("escaped-quote-at-end") << QByteArray(",a\nr1,\"\"\"\"") << QByteArray(",a\nr1,\"\"\"\"\n");
    QTest::newRow("empty-quoted-at-end") << QByteArray(",a\nr1,\"\"") << QByteArray(",a\nr1,\n");
    QTest::newRow("number-forms") << QByteArray(",a,b,c,d,e,f,g,h\nr, +5 ,5.,.5,1e-400,-0,INF,NaN,-1e400\n")
                                  << QByteArray(",a,b,c,d,e,f,g,h\nr,5,5,0.5,0,-0,inf,nan,-inf\n");
    QTest::newRow("empty-file") << QByteArray() << QByteArray("\n");
    QTest::newRow("hex-is-text") << QByteArray(",a\n1e400,0x10\n") << QByteArray(",a\ninf,0x10\n");
    QTest::newRow("near-numbers") << QByteArray(",a,,,,,,,,,,,,,,\nr,-.5,1e,-,1.5.5,.,-inf,-nan,--1,1e+,infinity,1.e5,00012,5x,5 ,-0x1\n")
                                  << QByteArray(",a,,,,,,,,,,,,,,\nr,-0.5,1e,-,1.5.5,.,-inf,-nan,--1,1e+,infinity,100000,12,5x,5,-0x1\n");
    QTest::newRow("crlf-blank-lines") << QByteArray(",a\r\n\r\n\r\n\"q\r\n\",1\r\n\r\n") << QByteArray(",a\n,\n,\n\"q\r\n\",1\n");
}

void TestCsv::read()
{
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, table);

    KXDataModelGeneric read;
    QString error;
    QVERIFY2(KXCsv::readData(csv, SourceName, read, &error), qPrintable(error));
    const KXCsv::WriteOptions full{KXNumberFormat::Precision::Full, false};
    QCOMPARE(KXCsv::write(read, full), table);
    // A file is read in pieces: any cut between bytes gives the same table.
    KXDataModelGeneric pieces;
    QVERIFY(KXCsv::readData(csv, SourceName, pieces, &error, 1));
    QCOMPARE(KXCsv::write(pieces, full), table);
}

void TestCsv::readInParts_data()
{
    QTest::addColumn<int>("pieceSize");
    QTest::addColumn<int>("badRow"); // 0: none
    QTest::addColumn<bool>("plain"); // no quotes nor carriage returns, as most numeric files
    for (const bool plain : {false, true}) {
        const char* kind = plain ? "plain" : "quoted";
        QTest::addRow("%s-whole", kind) << 0 << 0 << plain;
        QTest::addRow("%s-odd-pieces", kind) << 300007 << 0 << plain;
        QTest::addRow("%s-small-pieces", kind) << 4099 << 0 << plain;
        QTest::addRow("%s-whole-bad-late", kind) << 0 << 17000 << plain;
        QTest::addRow("%s-whole-bad-early", kind) << 0 << 3 << plain;
        QTest::addRow("%s-pieces-bad-late", kind) << 300007 << 17000 << plain;
    }
}

// Large pieces are parsed in parts on the pool: the table, and a message's line, are those of a
// reading byte by byte, whatever the record a part starts at.
void TestCsv::readInParts()
{
    QFETCH(int, pieceSize);
    QFETCH(int, badRow);
    QFETCH(bool, plain);

    // Numbers of every length and form, and near-numbers that stay texts.
    const QByteArray forms[] = {"-.5", "1e", "5 ", "-inf", "-nan", "1.e5", "", "x"};
    std::mt19937_64 random(3);
    QByteArray csv = plain ? ",a,b,c\n" : ",a,b,c\r\n";
    for (int row = 1; row <= 20000; ++row) {
        if (row % 2 == 0)
            csv += "\n";
        csv += "r" + QByteArray::number(row) + ',' + QByteArray::number(row * 0.25);
        if (plain)
            csv += ',' + QByteArray::number(std::ldexp(double(random() >> 11), int(random() % 80) - 60), 'g', 17)
                + (row % 5 ? ',' + forms[row % 8] : QByteArray()) + '\n';
        else
            csv += ",\"x\n" + QByteArray::number(row) + "\"\"\"" + (row % 5 ? ",-1e-3\r\n" : "\n");
        if (row == badRow)
            csv += plain ? "r,1,2,3,4\n" : "r,\"open\"x\n";
    }
    csv += "\n\n";
    KXDataModelGeneric bytes;
    QString bytesError;
    const bool bytesRead = KXCsv::readData(csv, SourceName, bytes, &bytesError, 1);
    QCOMPARE(bytesRead, badRow == 0);
    KXDataModelGeneric parts;
    QString partsError;
    QCOMPARE(KXCsv::readData(csv, SourceName, parts, &partsError, pieceSize), bytesRead);
    QCOMPARE(partsError, bytesError);
    QCOMPARE(KXCsv::write(parts), KXCsv::write(bytes));
    QCOMPARE(parts.rowCount(), bytesRead ? 20000 + 20000 / 2 : 0);
}

void TestCsv::malformed_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<int>("line");

    QTest::newRow("unterminated-quote") << QByteArray(",a\nr1,\"open\nr2,2\n") << 2;
    QTest::newRow("more-fields-after-multiline") << QByteArray(",a\nr1,\"p\nq\"\nr3,1,2\n") << 4;
    QTest::newRow("text-after-quote") << QByteArray(",a\nr1,\"x\"y\n") << 2;
    QTest::newRow("invalid-utf8") << QByteArray(",a\nr1,\xff\xfe\n") << 2;
}

// A refused file names the source and the line, and leaves the table as it was.
void TestCsv::malformed()
{
    QFETCH(QByteArray, csv);
    QFETCH(int, line);

    KXDataModelGeneric table;
    table.createEmpty(1, 1);
    table.setCell(0, 0, 7.0);
    QString error;
    QVERIFY(!KXCsv::readData(csv, SourceName, table, &error));
    QVERIFY2(error.startsWith(SourceName + QStringLiteral(", line %1:").arg(line)), qPrintable(error));
    QString piecesError;
    QVERIFY(!KXCsv::readData(csv, SourceName, table, &piecesError, 1));
    QCOMPARE(piecesError, error);
    QCOMPARE(table.rowCount(), 1);
    QCOMPARE(table.cell(0, 0), QVariant(7.0));
}

void TestCsv::unreadableFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<KXFileStatus>("status");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder") << "folder" << KXFileStatus::CannotOpen << ": Is a directory";
    QTest::newRow("too-large") << "large" << KXFileStatus::TooLarge << " is too large.";
}

// Refused before anything is read: a sparse file one byte past the limit costs no disk.
void TestCsv::unreadableFile()
{
    QFETCH(QString, kind);
    QFETCH(KXFileStatus, status);
    QFETCH(QString, reason);

    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("table.csv"));
    if (kind == QLatin1String("folder")) {
        path = folder.path();
    } else if (kind == QLatin1String("large")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(KXCsv::MaximumFileSize + 1));
    }
    KXDataModelGeneric table;
    QString error;
    KXFileStatus read = KXFileStatus::Ok;
    QVERIFY(!KXCsv::readFile(path, table, &error, &read));
    QCOMPARE(read, status);
    QVERIFY2(error.contains(path + reason), qPrintable(error));
}

// A reading followed from another thread counts every byte, and stops once cancelled, leaving the
// table as it was.
void TestCsv::followedReading_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("read") << false;
    QTest::newRow("cancelled") << true;
}

void TestCsv::followedReading()
{
    QFETCH(bool, cancel);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("table.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(",a,b\nr1,1,2\n");
    file.close();
    auto table = KXTest::makeTable(1, 1);
    std::atomic<bool> stop{cancel};
    std::atomic<qint64> bytes{0};
    KXCsvReadControl control;
    control.cancel = &stop;
    control.bytesRead = &bytes;
    QString error;
    QCOMPARE(KXCsv::readFile(path, *table, &error, nullptr, control), !cancel);
    QCOMPARE(bytes.load(), cancel ? 0 : file.size());
    QCOMPARE(table->columnCount(), cancel ? 1 : 2);
    QVERIFY(error.isEmpty());
}

QTEST_GUILESS_MAIN(TestCsv)
#include "tst_csv.moc"
