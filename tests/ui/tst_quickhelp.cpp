#include "KXEquationQuickHelp.h"
#include "KXTestSupport.h"

#include <QRegularExpression>
#include <QtTest>

namespace {
QStringList matches(const QString& text, const char* pattern)
{
    QStringList found;
    QRegularExpressionMatchIterator it = QRegularExpression(QLatin1String(pattern)).globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(1);
    return found;
}

QString helpIn(TApplicationTranslator::Language language)
{
    KXTest::LanguageScope scope{language};
    return KXEquationQuickHelp::content();
}
}

/// The help's shape, not its wording: the same titles and keywords in both languages, in order.
class TestQuickHelp : public QObject
{
    Q_OBJECT
private slots:
    void structure();
};

void TestQuickHelp::structure()
{
    const QString english = helpIn(TApplicationTranslator::English);
    const QString french = helpIn(TApplicationTranslator::French);
    const char* title = "<font COLOR=\"#336699\">(.*?)</font>";
    const QStringList englishTitles = matches(english, title);
    const QStringList frenchTitles = matches(french, title);
    QCOMPARE(englishTitles.size(), 8);
    QCOMPARE(KXEquationQuickHelp::titleCount(), 8);
    QCOMPARE(frenchTitles.size(), 8);
    for (int k = 0; k < 8; ++k)
        QVERIFY2(englishTitles[k] != frenchTitles[k], qPrintable(englishTitles[k]));

    // Every function the reader knows, documented in both languages in the reader's order.
    const char* keyword = "<b>(\\w+)</b>\\(";
    const QStringList functions = matches(english, keyword);
    QVERIFY(functions.contains(QStringLiteral("sqrt")) && functions.contains(QStringLiteral("if")));
    QCOMPARE(matches(french, keyword), functions);
    QCOMPARE(english.count(QLatin1String("<br>")), french.count(QLatin1String("<br>")));
    QVERIFY(KXEquationQuickHelp::entryCount() > functions.size());
}

QTEST_GUILESS_MAIN(TestQuickHelp)
#include "tst_quickhelp.moc"
