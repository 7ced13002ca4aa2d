#include "KXDataModel.h"
#include "KXEquationFormulaEdit.h"
#include "KXEquationQuickHelp.h"
#include "KXEquationVariableModel.h"
#include "KXTestSupport.h"

#include <QCompleter>
#include <QLineEdit>
#include <QTextBrowser>
#include <QtTest>

namespace {
QStringList matches(const QString& text, const char* pattern)
{
    QStringList found;
    for (auto it = QRegularExpression(QLatin1String(pattern)).globalMatch(text); it.hasNext();)
        found << it.next().captured(1);
    return found;
}

QString helpIn(TApplicationTranslator::Language language)
{
    KXTest::LanguageScope scope{language};
    return KXEquationQuickHelp::content();
}
}

// The formula field: colours, completion, growth and its help window, and the help's shape.
class TestFormulaEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void spans_data();
    void spans();
    void completions_data();
    void completions();
    void helpEntries_data();
    void helpEntries();
    void helpStructure();

private:
    KXEquationVariableModel m_variables;
    KXDataModelGeneric m_table;
};

void TestFormulaEdit::initTestCase()
{
    m_table.createEmpty(2, 3);
    m_variables.addVariable("Input1", &m_table, QString());
    m_variables.addVariable("rate", 0.5);
}

namespace {
const char* const KIND_NAMES[] = {"number", "text", "function", "constant", "dataset", "operator", "paren", "unmatched"};
}

void TestFormulaEdit::spans_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("spans"); // "kind:characters" in the order of the text

    QTest::newRow("numbers") << "1.5e-3 + .5" << "number:1.5e-3 operator:+ number:.5";
    QTest::newRow("names") << "sqrt(rate) * Input1(i, NR_Input1)"
                           << "function:sqrt paren:( constant:rate paren:) operator:* dataset:Input1 paren:( "
                              "operator:, constant:NR_Input1 paren:)";
    QTest::newRow("unknown-name-plain") << "foo+1" << "operator:+ number:1";
    QTest::newRow("text-hides-operators") << "\"a(+\" = x" << "text:\"a(+\" operator:=";
    QTest::newRow("unclosed-text") << "1 + \"ab" << "number:1 operator:+ text:\"ab";
    QTest::newRow("logical-words") << "a AND bOR c" << "operator:AND";
    QTest::newRow("unclosed-parenthesis") << "abs((1)" << "function:abs unmatched:( paren:( number:1 paren:)";
    QTest::newRow("extra-parenthesis") << "(1))" << "paren:( number:1 paren:) unmatched:)";
    QTest::newRow("if-separators") << "if(a<=1;2;3)"
                                   << "function:if paren:( operator:< operator:= number:1 operator:; number:2 "
                                      "operator:; number:3 paren:)";
}

void TestFormulaEdit::spans()
{
    QFETCH(QString, formula);
    QFETCH(QString, spans);
    QStringList found;
    for (const KXEquationFormulaSpan& span : KXEquationFormulaHighlighter::spans(formula, &m_variables))
        found << QString::fromLatin1(KIND_NAMES[span.kind]) + ':' + formula.mid(span.start, span.length);
    QCOMPARE(found.join(' '), spans);
}

void TestFormulaEdit::completions_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("french");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("functions") << "s" << false << QStringList{"sqrt", "sin", "sign", "sum", "stdDev"};
    QTest::newRow("any-case") << "STD" << false << QStringList{"stdDev"};
    QTest::newRow("dataset-and-its-sizes") << "n" << false << QStringList{"NO_VALUE", "NC_Input1", "NR_Input1"};
    QTest::newRow("dataset-fr") << "inp" << true << QStringList{"Input1"};
}

void TestFormulaEdit::completions()
{
    QFETCH(QString, prefix);
    QFETCH(bool, french);
    QFETCH(QStringList, names);
    KXTest::LanguageScope language(french ? TApplicationTranslator::French : TApplicationTranslator::English);
    KXEquationFormulaEdit field(&m_variables);
    QCOMPARE(field.completions(prefix), names);
    // The popup shows the first name with its help line.
    field.completer()->setCurrentRow(0);
    const QString shown = field.completer()->currentIndex().data().toString();
    QVERIFY2(names.isEmpty() || (shown.startsWith(names.first()) && shown.size() > names.first().size() + 2), qPrintable(shown));
}

void TestFormulaEdit::helpEntries_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("syntax"); // what a double click on the first place found inserts

    QTest::newRow("math-function") << "square root" << "sqrt(expr)";
    QTest::newRow("condition") << "formulaFalse" << "if(condition; formulaTrue; formulaFalse)";
    QTest::newRow("section-title") << "Calculation functions" << "";
}

void TestFormulaEdit::helpEntries()
{
    QFETCH(QString, search);
    QFETCH(QString, syntax);
    KXEquationFormulaEdit field(&m_variables);
    field.setHelp(KXEquationQuickHelp::content(), QIcon(), "Help", QSize(700, 750));
    field.setText("1+");
    field.moveCursor(QTextCursor::End);
    field.showHelp();
    KXEquationHelpWindow* help = field.helpWindow();
    const QString before = help->browser()->toHtml();
    QTest::keyClicks(help->searchField(), search);
    QVERIFY(help->matchCount() > 0);
    QCOMPARE(help->browser()->toHtml(), before);

    // The search put the browser's cursor on the first place found.
    QTextBrowser* browser = help->browser();
    const QPoint place = browser->cursorRect(browser->textCursor()).center();
    QTest::mouseDClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, place);
    QCOMPARE(field.text(), "1+" + syntax);
}

/// The help's shape, not its wording: the same titles and keywords in both languages, in order.
void TestFormulaEdit::helpStructure()
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

QTEST_MAIN(TestFormulaEdit)
#include "tst_formulaedit.moc"
