#include "KXDataModel.h"
#include "KXEquationFormulaEdit.h"
#include "KXEquationQuickHelp.h"
#include "KXEquationVariableModel.h"
#include "KXTestSupport.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QtTest>

// The formula field: colours, completion, growth and its help window.
class KXEquationFormulaEditTest : public QObject
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
    void growsWithTheFormula();

private:
    KXEquationVariableModel m_variables;
    KXDataModelGeneric m_table;
};

void KXEquationFormulaEditTest::initTestCase()
{
    m_table.createEmpty(2, 3);
    m_variables.addVariable("Input1", &m_table, QString());
    m_variables.addVariable("rate", 0.5);
}

namespace {
const char* const KIND_NAMES[] = {"number", "text", "function", "constant", "dataset", "operator", "paren", "unmatched"};
}

void KXEquationFormulaEditTest::spans_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("spans"); // "kind:characters" in the order of the text

    QTest::newRow("numbers") << "1.5e-3 + .5" << "number:1.5e-3 operator:+ number:.5";
    QTest::newRow("exponent-without-digits") << "2e+" << "number:2 operator:+";
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

void KXEquationFormulaEditTest::spans()
{
    QFETCH(QString, formula);
    QFETCH(QString, spans);
    QStringList found;
    for (const KXEquationFormulaSpan& span : KXEquationFormulaHighlighter::spans(formula, &m_variables))
        found << QString::fromLatin1(KIND_NAMES[span.kind]) + ':' + formula.mid(span.start, span.length);
    QCOMPARE(found.join(' '), spans);
}

void KXEquationFormulaEditTest::completions_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("french");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("firstShown");

    QTest::newRow("functions") << "s" << false << QStringList{"sqrt", "sin", "sign", "sum", "stdDev"}
                               << "sqrt(expr): Returns the square root of the expression";
    QTest::newRow("any-case") << "STD" << false << QStringList{"stdDev"}
                              << "stdDev(var, start, end, expr): Returns the standard deviation of the selection";
    QTest::newRow("dataset-and-its-sizes") << "n" << false << QStringList{"NO_VALUE", "NC_Input1", "NR_Input1"}
                                           << "NO_VALUE = -9999 (constant)";
    QTest::newRow("dataset") << "inp" << true << QStringList{"Input1"} << "Input1(i, j) : variable de tableau";
    QTest::newRow("nothing") << "zz" << false << QStringList() << QString();
}

void KXEquationFormulaEditTest::completions()
{
    QFETCH(QString, prefix);
    QFETCH(bool, french);
    QFETCH(QStringList, names);
    QFETCH(QString, firstShown);
    KXTest::LanguageScope language(french ? TApplicationTranslator::French : TApplicationTranslator::English);
    KXEquationFormulaEdit field(&m_variables);
    QCOMPARE(field.completions(prefix), names);
    field.completer()->setCurrentRow(0);
    QCOMPARE(field.completer()->currentIndex().data().toString(), firstShown);
}

void KXEquationFormulaEditTest::helpEntries_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("syntax"); // what a double click on the first place found inserts

    QTest::newRow("math-function") << "square root" << "sqrt(expr)";
    QTest::newRow("condition") << "formulaFalse" << "if(condition; formulaTrue; formulaFalse)";
    QTest::newRow("spaced-operator") << "inequality" << "!=";
    QTest::newRow("section-title") << "Calculation functions" << "";
}

void KXEquationFormulaEditTest::helpEntries()
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

void KXEquationFormulaEditTest::growsWithTheFormula()
{
    KXEquationFormulaEdit field(&m_variables);
    field.resize(300, field.height());
    field.show();
    const int oneLine = field.height();
    field.setText(QStringLiteral("sqrt(rate)+").repeated(12) + "1");
    QVERIFY(field.height() > oneLine);
    field.setText(QStringLiteral("1+").repeated(2000) + "1");
    const int most = field.height();
    field.setText(QStringLiteral("1+").repeated(4000) + "1");
    QCOMPARE(field.height(), most);
}

QTEST_MAIN(KXEquationFormulaEditTest)
#include "tst_KXEquationFormulaEdit.moc"
