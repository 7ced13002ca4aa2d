#include "KXDataModel.h"
#include "KXEquationFormulaEdit.h"
#include "KXEquationQuickHelp.h"
#include "KXEquationVariableModel.h"
#include "KXScreenFit.h"
#include "KXTestSupport.h"

#include <QCompleter>
#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

// The formula field: colours, completion, growth and its help window.
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
    void completionKeys_data();
    void completionKeys();
    void clickThroughList();
    void helpWindowOnScreen_data();
    void helpWindowOnScreen();

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

namespace {
/// A formula field beside a button, shown, with the list open on "sq".
struct OpenList
{
    explicit OpenList(const KXEquationVariableModel* variables) : field(new KXEquationFormulaEdit(variables))
    {
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(field);
        layout->addWidget(button);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("sq"));
        QVERIFY(field->completer()->popup()->isVisible());
    }
    QWidget window;
    KXEquationFormulaEdit* field;
    QPushButton* button = new QPushButton(QStringLiteral("Save"), &window);
};
}

void TestFormulaEdit::completionKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("tab") << int(Qt::Key_Tab);
    QTest::newRow("return") << int(Qt::Key_Return);
}

// The list holds the keys while it is open: the proposal goes into the field, the focus stays there.
void TestFormulaEdit::completionKeys()
{
    QFETCH(int, key);
    OpenList list(&m_variables);
    QTest::keyClick(list.field->completer()->popup(), Qt::Key(key));
    QCOMPARE(list.field->text(), QStringLiteral("sqrt("));
    QVERIFY(!list.field->completer()->popup()->isVisible());
    QCOMPARE(QApplication::focusWidget(), list.field);
}

// A click outside the open list closes it and reaches the button, through the window as a user's would.
void TestFormulaEdit::clickThroughList()
{
    OpenList list(&m_variables);
    QSignalSpy clicked(list.button, &QPushButton::clicked);
    const QPoint at = list.button->mapTo(&list.window, list.button->rect().center());
    QTest::mousePress(list.window.windowHandle(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list.window.windowHandle(), Qt::LeftButton, {}, at);
    QTRY_COMPARE(clicked.count(), 1);
    QVERIFY(!list.field->completer()->popup()->isVisible());
    QCOMPARE(list.field->text(), QStringLiteral("sq"));
}

void TestFormulaEdit::helpWindowOnScreen_data()
{
    QTest::addColumn<QPoint>("corner"); // where the field's window is, in parts of the screen
    QTest::newRow("centre") << QPoint(1, 1);
    QTest::newRow("bottom-right") << QPoint(2, 2);
    QTest::newRow("top-left") << QPoint(0, 0);
}

// The help window, taller than the test screen, opens whole inside it wherever the field is.
void TestFormulaEdit::helpWindowOnScreen()
{
    QFETCH(QPoint, corner);
    QWidget window;
    auto* field = new KXEquationFormulaEdit(&m_variables, &window);
    const QRect area = KXScreenFit::availableArea(&window);
    window.resize(200, 80);
    window.move(area.left() + corner.x() * (area.width() - 200) / 2, area.top() + corner.y() * (area.height() - 80) / 2);
    window.show();
    field->setHelp(KXEquationQuickHelp::content(), QIcon(), "Help", area.size() + QSize(100, 150));
    field->showHelp();
    QVERIFY(QTest::qWaitForWindowExposed(field->helpWindow()));
    QCOMPARE(area.united(field->helpWindow()->frameGeometry()), area);
}

QTEST_MAIN(TestFormulaEdit)
#include "tst_formulaedit.moc"
