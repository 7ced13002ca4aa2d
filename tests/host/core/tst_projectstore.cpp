#include "KXDataModel.h"
#include "KXObject2.h"
#include "KXTestSupport.h"
#include "LodeDB.h"

#include <QtTest>

#include <memory>

class TestProjectStore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void getDataset_data();
    void getDataset();
    void openProject();
    void decodeObject_data();
    void decodeObject();
    void createEmptyRefusesOversize();

private:
    QTemporaryDir m_project;
    QString m_path = m_project.filePath(QStringLiteral("project")); // beside it: a dataset outside
};

void TestProjectStore::initTestCase()
{
    QVERIFY(m_project.isValid());
    QVERIFY(KXTest::writeFile(m_path + QStringLiteral("/sales/q1.csv"), QByteArray(",Units,Price\nTea,12,3.5\nCrème,4,\"n/a\"\n")));
    QVERIFY(KXTest::writeFile(m_path + QStringLiteral("/sales/q2.csv"), QByteArray(",Units\nTea,9\n")));
    QVERIFY(KXTest::writeFile(m_path + QStringLiteral("/broken/bad.csv"), QByteArray(",a\nr1,\"open\n")));
    QVERIFY(KXTest::writeFile(m_path + QStringLiteral("/sales/notes.txt"), QByteArray("not a dataset")));
    QVERIFY(KXTest::writeFile(m_path + QStringLiteral("/sales/q1.txt"), QByteArray("not a dataset either")));
    QVERIFY(KXTest::writeFile(m_project.filePath(QStringLiteral("outside.csv")), QByteArray(",a\n")));
    QVERIFY(QDir().mkpath(m_path + QStringLiteral("/sales/folder.csv")));
}

void TestProjectStore::getDataset_data()
{
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<QString>("subdataset");
    QTest::addColumn<bool>("found");

    QTest::newRow("present") << "sales" << "q1" << true;
    QTest::newRow("folder-not-file") << "sales" << "folder" << false;
    QTest::newRow("other-suffix") << "sales" << "notes" << false;
    QTest::newRow("escapes-project") << ".." << "outside" << false;
}

void TestProjectStore::getDataset()
{
    QFETCH(QString, dataset);
    QFETCH(QString, subdataset);
    QFETCH(bool, found);
    LodeDB::TDatabase database(m_path);
    const KXObject2Dataset* object = database.getDataset(dataset, subdataset);
    QCOMPARE(object != nullptr, found);
    if (found)
        QCOMPARE(database.getDataset(dataset, subdataset), object);
}

void TestProjectStore::openProject()
{
    LodeDB::TDatabase database(m_path);
    QStringList names;
    for (const KXObject2Dataset* object : database.datasets())
        names << object->dataset() + QLatin1Char('.') + object->subdataset();
    QCOMPARE(names, QStringList({"broken.bad", "sales.q1", "sales.q2"}));

    KXDataModelDataset table;
    QVERIFY(table.open(database.getDataset(QStringLiteral("sales"), QStringLiteral("q1"))));
    QCOMPARE(QSize(table.columnCount(), table.rowCount()), QSize(2, 2));
    QCOMPARE(table.data(table.index(0, 1), KXValueRole), QVariant(3.5));
    QCOMPARE(table.data(table.index(1, 1), KXValueRole), QVariant(QStringLiteral("n/a")));
    QCOMPARE(table.headerData(0, Qt::Horizontal, Qt::DisplayRole), QVariant(QStringLiteral("Units")));
    QString dataset, subdataset;
    table.getName(dataset, subdataset);
    QCOMPARE(QStringList({dataset, subdataset}), QStringList({"sales", "q1"}));

    const KXObject2Dataset* bad = database.getDataset(QStringLiteral("broken"), QStringLiteral("bad"));
    QVERIFY(bad && !table.open(bad));
    QVERIFY2(table.errorString().contains(bad->filePath() + QStringLiteral(", line 2")),
             qPrintable(table.errorString()));
    QVERIFY(!table.open(nullptr));
}

void TestProjectStore::decodeObject_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("names");

    const QString ours = QLatin1String(KXObject2Decoder::MimeType);
    QTest::newRow("two-datasets") << ours
                                  << QByteArray("4\tsales\tq1\t/p/sales/q1.csv\n4\tsales\tq2\t/p/sales/q2.csv\n")
                                  << QStringList({"sales.q1", "sales.q2"});
    QTest::newRow("escaped-separators") << ours << QByteArray("4\ta%09b\tc%0Ad\t/p\n") << QStringList({"a\tb.c\nd"});
    QTest::newRow("other-kind-skipped") << ours << QByteArray("7\tx\ty\t/p\n4\tsales\tq1\t/p\n") << QStringList({"sales.q1"});
    QTest::newRow("foreign-payload") << QStringLiteral("text/plain") << QByteArray("4\tsales\tq1\t/p\n")
                                     << QStringList();
}

void TestProjectStore::decodeObject()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, names);

    QMimeData data;
    data.setData(format, payload);
    const QList<KXObject2*> objects = KXObject2Decoder::decodeObject(&data);
    QStringList decoded;
    for (KXObject2* object : objects) {
        std::unique_ptr<KXObject2> owned(object);
        const auto* dataset = dynamic_cast<const KXObject2Dataset*>(object);
        decoded << dataset->dataset() + QLatin1Char('.') + dataset->subdataset();
    }
    QCOMPARE(decoded, names);
}

void TestProjectStore::createEmptyRefusesOversize()
{
    // {columns, rows} asked for, then the size that must result.
    const int cases[][4] = {{-1, 5, 0, 5}, {70000, 70000, 0, 0}};
    for (const auto& c : cases) {
        KXDataModelGeneric table;
        table.createEmpty(c[0], c[1]);
        QCOMPARE(table.columnCount(), c[2]);
        QCOMPARE(table.rowCount(), c[3]);
        QVERIFY(!table.index(c[3], c[2]).isValid());
    }
}

QTEST_GUILESS_MAIN(TestProjectStore)
#include "tst_projectstore.moc"
