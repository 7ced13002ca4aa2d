#include "KXError.h"
#include "KXTestSupport.h"
#include "TApplicationTranslator.h"

#include <QCoreApplication>
#include <QSet>
#include <QThread>
#include <QtTest>

#include <memory>
#include <vector>

class TestHostServices : public QObject
{
    Q_OBJECT
private slots:
    void dispatchFromThreads();
    void translator_data();
    void translator();
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
    QVERIFY(messages.contains(QStringLiteral("thread 7 report 199")));
}

void TestHostServices::translator_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QByteArray>("disambiguation");
    QTest::addColumn<QString>("expected");

    QTest::newRow("english-gives-source") << int(TApplicationTranslator::English) << QByteArray("Lancer")
                                          << QStringLiteral("Launch");
    QTest::newRow("french-gives-disambiguation") << int(TApplicationTranslator::French)
                                                 << QByteArray("Numéro de ligne") << QStringLiteral("Numéro de ligne");
    QTest::newRow("french-without-french-text") << int(TApplicationTranslator::French) << QByteArray()
                                                << QStringLiteral("Launch");
}

void TestHostServices::translator()
{
    QFETCH(int, language);
    QFETCH(QByteArray, disambiguation);
    QFETCH(QString, expected);

    KXTest::LanguageScope scope{TApplicationTranslator::Language(language)};
    const char* french = disambiguation.isEmpty() ? nullptr : disambiguation.constData();
    QCOMPARE(QCoreApplication::translate("KXEquationEditor", "Launch", french, -1), expected);
}

QTEST_GUILESS_MAIN(TestHostServices)
#include "tst_hostservices.moc"
