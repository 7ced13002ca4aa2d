#include "KXEquationFormulaEdit.h"

#include "KXEquationInterpreter.h"
#include "KXEquationQuickHelp.h"
#include "KXEquationVariableModel.h"
#include "KXScreenFit.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace {
// The field shows between one and this many lines before it scrolls.
const int MAXIMUM_LINES = 5;
const int NAME_ROLE = Qt::UserRole;
const int FUNCTION_ROLE = Qt::UserRole + 1;
const char OPERATOR_CHARACTERS[] = "+-*/%^<>=!;,|:[]";

bool isNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

QTextCharFormat formatOf(KXEquationFormulaSpan::Kind kind)
{
    QTextCharFormat format;
    switch (kind) {
    case KXEquationFormulaSpan::Number:
        format.setForeground(QColor(0x1c, 0x5d, 0xb0));
        break;
    case KXEquationFormulaSpan::Text:
        format.setForeground(QColor(0x2a, 0x7f, 0x3a));
        break;
    case KXEquationFormulaSpan::Function:
        format.setForeground(QColor(0x7a, 0x2e, 0x9c));
        format.setFontWeight(QFont::Bold);
        break;
    case KXEquationFormulaSpan::Constant:
        format.setForeground(QColor(0x00, 0x6d, 0x77));
        break;
    case KXEquationFormulaSpan::Dataset:
        format.setForeground(QColor(0xa8, 0x55, 0x00));
        format.setFontWeight(QFont::Bold);
        break;
    case KXEquationFormulaSpan::Operator:
    case KXEquationFormulaSpan::Parenthesis:
        format.setForeground(QColor(0x55, 0x55, 0x55));
        format.setFontWeight(QFont::Bold);
        break;
    case KXEquationFormulaSpan::Unmatched:
        format.setForeground(Qt::white);
        format.setBackground(QColor(0xd0, 0x20, 0x20));
        format.setFontWeight(QFont::Bold);
        break;
    }
    return format;
}

}

// Highlighter

KXEquationFormulaHighlighter::KXEquationFormulaHighlighter(QTextDocument* document,
                                                           const KXEquationVariableModel* variables)
    : QSyntaxHighlighter(document), m_variables(variables)
{
}

// Stretches are found by a small scanner of its own: the reader reads whole texts and keeps no
// positions, while colours are wanted for unfinished formulas as well.
QVector<KXEquationFormulaSpan> KXEquationFormulaHighlighter::spans(const QString& text,
                                                                   const KXEquationVariableModel* variables)
{
    static const QStringList functions = KXEquationInterpreter::functionNames();
    QVector<KXEquationFormulaSpan> found;
    QVector<int> open; // indexes in found of the parentheses not yet closed
    const int length = text.length();
    int k = 0;
    while (k < length) {
        const QChar c = text.at(k);
        const int start = k;
        if (c == QLatin1Char('"')) {
            const int end = text.indexOf(QLatin1Char('"'), k + 1);
            k = end < 0 ? length : end + 1;
            found.append({start, k - start, KXEquationFormulaSpan::Text});
        } else if (c.isDigit() || (c == QLatin1Char('.') && k + 1 < length && text.at(k + 1).isDigit())) {
            while (k < length && (text.at(k).isDigit() || text.at(k) == QLatin1Char('.')))
                ++k;
            // An exponent, signed or not, belongs to the number.
            if (k < length && (text.at(k) == QLatin1Char('e') || text.at(k) == QLatin1Char('E'))) {
                int e = k + 1;
                if (e < length && (text.at(e) == QLatin1Char('+') || text.at(e) == QLatin1Char('-')))
                    ++e;
                if (e < length && text.at(e).isDigit()) {
                    k = e;
                    while (k < length && text.at(k).isDigit())
                        ++k;
                }
            }
            found.append({start, k - start, KXEquationFormulaSpan::Number});
        } else if (isNameCharacter(c)) {
            while (k < length && isNameCharacter(text.at(k)))
                ++k;
            const QString name = text.mid(start, k - start);
            if (functions.contains(name))
                found.append({start, k - start, KXEquationFormulaSpan::Function});
            else if (variables && variables->variableConstantExist(name))
                found.append({start, k - start, KXEquationFormulaSpan::Constant});
            else if (variables && variables->variableModelExist(name))
                found.append({start, k - start, KXEquationFormulaSpan::Dataset});
            else if (name == QLatin1String("AND") || name == QLatin1String("OR"))
                found.append({start, k - start, KXEquationFormulaSpan::Operator});
        } else if (c == QLatin1Char('(')) {
            open.append(found.size());
            found.append({k++, 1, KXEquationFormulaSpan::Parenthesis});
        } else if (c == QLatin1Char(')')) {
            const bool matched = !open.isEmpty();
            if (matched)
                open.removeLast();
            found.append({k++, 1, matched ? KXEquationFormulaSpan::Parenthesis : KXEquationFormulaSpan::Unmatched});
        } else if (QLatin1String(OPERATOR_CHARACTERS).contains(c)) {
            found.append({k++, 1, KXEquationFormulaSpan::Operator});
        } else {
            ++k;
        }
    }
    for (int index : qAsConst(open))
        found[index].kind = KXEquationFormulaSpan::Unmatched;
    return found;
}

void KXEquationFormulaHighlighter::highlightBlock(const QString& block)
{
    // Parentheses may pair across lines: the whole text is scanned, and this block's part coloured.
    const int offset = currentBlock().position();
    const QString whole = document()->toPlainText();
    for (const KXEquationFormulaSpan& span : spans(whole, m_variables)) {
        const int from = qMax(span.start, offset);
        const int to = qMin(span.start + span.length, offset + block.length());
        if (from < to)
            setFormat(from - offset, to - from, formatOf(span.kind));
    }
}

// Help window

KXEquationHelpWindow::KXEquationHelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_search(new QLineEdit(this)), m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("helpWindow"));
    m_search->setObjectName(QStringLiteral("helpSearch"));
    m_search->setPlaceholderText(tr("Search", "Rechercher"));
    m_browser->setObjectName(QStringLiteral("helpText"));
    m_browser->setOpenExternalLinks(false);
    m_browser->setToolTip(tr("Double-click an entry to insert it into the formula",
                             "Double-cliquez sur une entrée pour l'insérer dans la formule"));
    m_browser->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_browser);
    connect(m_search, &QLineEdit::textChanged, this, &KXEquationHelpWindow::search);
}

void KXEquationHelpWindow::setHelp(const QString& html)
{
    m_browser->setHtml(html);
    search(m_search->text());
}

// Marks every place that holds the searched text and shows the first one.
void KXEquationHelpWindow::search(const QString& text)
{
    QList<QTextEdit::ExtraSelection> marks;
    QTextCharFormat format;
    format.setBackground(QColor(0xff, 0xe0, 0x6e));
    QTextDocument* document = m_browser->document();
    if (!text.isEmpty()) {
        for (QTextCursor found = document->find(text); !found.isNull(); found = document->find(text, found))
            marks.append({found, format});
    }
    m_matches = marks.size();
    m_browser->setExtraSelections(marks);
    if (!marks.isEmpty()) {
        m_browser->setTextCursor(marks.first().cursor);
        m_browser->ensureCursorVisible();
    }
}

QString KXEquationHelpWindow::syntaxAt(int position) const
{
    const QTextBlock block = m_browser->document()->findBlock(position);
    if (!block.isValid())
        return QString();
    // The help text is one paragraph of lines separated by line breaks.
    const QString text = block.text();
    const int inBlock = position - block.position();
    const QChar lineBreak(QChar::LineSeparator);
    const int lineStart = text.lastIndexOf(lineBreak, qMax(0, inBlock - 1)) + 1;
    int lineEnd = text.indexOf(lineBreak, lineStart);
    if (lineEnd < 0)
        lineEnd = text.length();
    const QString line = text.mid(lineStart, lineEnd - lineStart);
    int first = 0;
    while (first < line.length() && line.at(first).isSpace())
        ++first;
    const int colon = line.indexOf(QLatin1Char(':'));
    if (first >= line.length() || colon <= first)
        return QString();
    // An entry begins with its syntax in bold and in the text's own colour; titles, parameters and
    // examples carry a colour of their own.
    QTextCursor cursor(m_browser->document());
    cursor.setPosition(block.position() + lineStart + first + 1);
    const QTextCharFormat format = cursor.charFormat();
    if (format.fontWeight() < QFont::Bold || format.foreground().style() != Qt::NoBrush)
        return QString();
    QString syntax = line.mid(first, colon - first).trimmed();
    // Operators are shown spaced out; the reader ignores blanks, and the formula reads better without.
    if (!syntax.contains(QLatin1Char('(')))
        syntax.remove(QLatin1Char(' '));
    return syntax;
}

bool KXEquationHelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_browser->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QString syntax = syntaxAt(m_browser->cursorForPosition(mouse->pos()).position());
        if (!syntax.isEmpty()) {
            emit insertRequested(syntax);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Formula field

KXEquationFormulaEdit::KXEquationFormulaEdit(const KXEquationVariableModel* variables, QWidget* parent)
    : QPlainTextEdit(parent),
      m_variables(variables),
      m_highlighter(new KXEquationFormulaHighlighter(document(), variables)),
      m_completer(new QCompleter(this)),
      m_completions(new QStandardItemModel(this)),
      m_helpButton(new QToolButton(this)),
      m_helpAction(new QAction(this))
{
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_completer->setModel(m_completions);
    m_completer->setCompletionRole(NAME_ROLE);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setWidget(this);
    connect(m_completer, QOverload<const QString&>::of(&QCompleter::activated), this,
            &KXEquationFormulaEdit::insertCompletion);
    // Ahead of the completer's own filter, which swallows a click outside the list.
    m_completer->popup()->installEventFilter(this);
    m_completer->popup()->setAttribute(Qt::WA_NoMouseReplay);

    m_helpAction->setObjectName(QStringLiteral("helpAction"));
    m_helpButton->setDefaultAction(m_helpAction);
    m_helpButton->setAutoRaise(true);
    m_helpButton->setCursor(Qt::ArrowCursor);
    m_helpButton->hide();
    connect(m_helpAction, &QAction::triggered, this, &KXEquationFormulaEdit::showHelp);

    connect(this, &QPlainTextEdit::textChanged, this, &KXEquationFormulaEdit::onTextChanged);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &KXEquationFormulaEdit::updateSelections);
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, &KXEquationFormulaEdit::placeHelpButton);
    fitHeight();
}

KXEquationFormulaEdit::~KXEquationFormulaEdit() = default;

QString KXEquationFormulaEdit::text() const
{
    return toPlainText();
}

void KXEquationFormulaEdit::setText(const QString& text)
{
    if (text != toPlainText())
        setPlainText(text);
}

void KXEquationFormulaEdit::onTextChanged()
{
    const QString current = toPlainText();
    if (current == m_lastText)
        return;
    m_lastText = current;
    clearError();
    fitHeight();
    emit formulaTextChanged(current);
}

void KXEquationFormulaEdit::setHelp(const QString& html, const QIcon& icon, const QString& title, const QSize& size)
{
    m_helpHtml = html;
    m_helpTitle = title;
    m_helpSize = size;
    m_helpAction->setIcon(icon);
    m_helpAction->setToolTip(title);
    m_helpButton->show();
    setViewportMargins(0, 0, m_helpButton->sizeHint().width(), 0);
    if (m_helpWindow) {
        m_helpWindow->setHelp(html);
        m_helpWindow->setWindowTitle(title);
        m_helpWindow->resize(size);
    }
}

void KXEquationFormulaEdit::showHelp()
{
    if (!m_helpWindow) {
        // A window of its own, deleted with the field.
        m_helpWindow = new KXEquationHelpWindow(this);
        m_helpWindow->setHelp(m_helpHtml);
        m_helpWindow->setWindowTitle(m_helpTitle);
        m_helpWindow->resize(m_helpSize);
        connect(m_helpWindow, &KXEquationHelpWindow::insertRequested, this, &KXEquationFormulaEdit::insertSyntax);
        // Over the page, inside the screen: left to itself it may open partly off the screen.
        KXScreenFit::centreOver(m_helpWindow, this);
    }
    m_helpWindow->show();
    KXScreenFit::keepInsideOnceFramed(m_helpWindow);
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void KXEquationFormulaEdit::insertSyntax(const QString& syntax)
{
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    cursor.insertText(syntax);
    const int open = syntax.indexOf(QLatin1Char('('));
    if (open >= 0) {
        int end = open + 1;
        while (end < syntax.length() && !QStringLiteral(",;)").contains(syntax.at(end)))
            ++end;
        cursor.setPosition(start + open + 1);
        cursor.setPosition(start + end, QTextCursor::KeepAnchor);
    }
    setTextCursor(cursor);
    setFocus();
}

void KXEquationFormulaEdit::markError(int start, int length, bool moveCaret)
{
    const int size = toPlainText().length();
    m_error.start = qBound(0, start, size);
    m_error.length = qBound(0, length, size - m_error.start);
    if (moveCaret) {
        QTextCursor cursor = textCursor();
        cursor.setPosition(m_error.start);
        setTextCursor(cursor);
    }
    updateSelections();
}

void KXEquationFormulaEdit::clearError()
{
    if (m_error.length < 0)
        return;
    m_error.length = -1;
    updateSelections();
}

// The error's underline and the pair of parentheses at the caret.
void KXEquationFormulaEdit::updateSelections()
{
    QList<QTextEdit::ExtraSelection> selections;
    if (m_error.length >= 0) {
        QTextEdit::ExtraSelection error;
        error.cursor = QTextCursor(document());
        const int from = m_error.length > 0 ? m_error.start : qMax(0, m_error.start - 1);
        error.cursor.setPosition(from);
        error.cursor.setPosition(qMax(m_error.start + m_error.length, from + 1), QTextCursor::KeepAnchor);
        error.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        error.format.setUnderlineColor(Qt::red);
        error.format.setBackground(QColor(0xff, 0xd8, 0xd8));
        selections.append(error);
    }
    const QString current = toPlainText();
    const QVector<KXEquationFormulaSpan> spans = KXEquationFormulaHighlighter::spans(current, m_variables);
    // Pairs by one walk over the parentheses; the one at or just before the caret is shown with its partner.
    const int caret = textCursor().position();
    QVector<int> open;
    for (const KXEquationFormulaSpan& span : spans) {
        if (span.kind != KXEquationFormulaSpan::Parenthesis)
            continue;
        if (current.at(span.start) == QLatin1Char('(')) {
            open.append(span.start);
            continue;
        }
        if (open.isEmpty())
            continue;
        const int opening = open.takeLast();
        const bool atCaret = opening == caret || opening == caret - 1 || span.start == caret || span.start == caret - 1;
        if (!atCaret)
            continue;
        for (int position : {opening, span.start}) {
            QTextEdit::ExtraSelection pair;
            pair.cursor = QTextCursor(document());
            pair.cursor.setPosition(position);
            pair.cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
            pair.format.setBackground(QColor(0xb8, 0xe8, 0xb0));
            selections.append(pair);
        }
        break;
    }
    setExtraSelections(selections);
}

QString KXEquationFormulaEdit::wordBeforeCursor() const
{
    const QString current = toPlainText();
    const int end = textCursor().position();
    int start = end;
    while (start > 0 && isNameCharacter(current.at(start - 1)))
        --start;
    // A number is not the beginning of a name.
    if (start < end && current.at(start).isDigit())
        return QString();
    return current.mid(start, end - start);
}

// Function names with their one-line description, then constants and dataset variables.
void KXEquationFormulaEdit::fillCompletions()
{
    m_completions->clear();
    auto add = [this](const QString& name, const QString& shown, bool function) {
        auto* item = new QStandardItem(shown);
        item->setData(name, NAME_ROLE);
        item->setData(function, FUNCTION_ROLE);
        item->setToolTip(shown);
        m_completions->appendRow(item);
    };
    for (const QString& name : KXEquationInterpreter::functionNames())
        add(name, KXEquationQuickHelp::functionDescription(name), true);
    if (m_variables) {
        const QMap<QString, QString> constants = m_variables->getVariableConstantList();
        for (auto it = constants.constBegin(); it != constants.constEnd(); ++it)
            add(it.key(), tr("%1 = %2 (constant)", "%1 = %2 (constante)").arg(it.key(), it.value()), false);
        const QMap<QString, QString> datasets = m_variables->getVariableModelList();
        for (auto it = datasets.constBegin(); it != datasets.constEnd(); ++it) {
            add(it.key(), tr("%1(i, j): dataset variable", "%1(i, j) : variable de tableau").arg(it.key()), true);
            const QMap<QString, QString> sizes = m_variables->getVariableModelRelatedList(it.key());
            for (auto size = sizes.constBegin(); size != sizes.constEnd(); ++size)
                add(size.key(), tr("%1 = %2 (constant)", "%1 = %2 (constante)").arg(size.key(), size.value()), false);
        }
    }
}

QStringList KXEquationFormulaEdit::completions(const QString& prefix)
{
    fillCompletions();
    m_completer->setCompletionPrefix(prefix);
    QStringList names;
    for (int row = 0; m_completer->setCurrentRow(row); ++row)
        names.append(m_completer->currentIndex().data(NAME_ROLE).toString());
    return names;
}

void KXEquationFormulaEdit::insertCompletion(const QString& completion)
{
    const QString prefix = wordBeforeCursor();
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, prefix.length());
    const QModelIndexList found = m_completions->match(m_completions->index(0, 0), NAME_ROLE, completion, 1,
                                                       Qt::MatchExactly | Qt::MatchCaseSensitive);
    const bool function = !found.isEmpty() && found.first().data(FUNCTION_ROLE).toBool();
    const QString rest = toPlainText().mid(cursor.selectionEnd());
    cursor.insertText(completion + (function && !rest.startsWith(QLatin1Char('(')) ? QStringLiteral("(") : QString()));
    setTextCursor(cursor);
}

// A click outside the open list closes it and reaches what was clicked, as if no list had been open.
bool KXEquationFormulaEdit::eventFilter(QObject* watched, QEvent* event)
{
    QWidget* popup = m_completer->popup();
    if (watched != popup || event->type() != QEvent::MouseButtonPress)
        return QPlainTextEdit::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (popup->rect().contains(mouse->pos()))
        return false;
    popup->hide();
    QWidget* target = QApplication::widgetAt(mouse->globalPos());
    QWindow* window = target ? target->window()->windowHandle() : nullptr;
    if (window) {
        // Through the window, as the window system would have sent it: the window picks the
        // widget, which then also gets the release.
        const QPointF local = window->mapFromGlobal(mouse->globalPos());
        QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonPress, local, local, mouse->screenPos(),
                                                            mouse->button(), mouse->buttons(), mouse->modifiers()));
    }
    return true;
}

// While the list is open Tab takes its proposal instead of moving the focus.
bool KXEquationFormulaEdit::focusNextPrevChild(bool next)
{
    if (m_completer->popup()->isVisible())
        return false;
    return QPlainTextEdit::focusNextPrevChild(next);
}

void KXEquationFormulaEdit::keyPressEvent(QKeyEvent* event)
{
    const bool popupShown = m_completer->popup()->isVisible();
    const int key = event->key();
    if (popupShown && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_Tab
                       || key == Qt::Key_Backtab)) {
        // The list takes these.
        event->ignore();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // The formula is one line that wraps; Ctrl+Return launches.
        if (event->modifiers() & Qt::ControlModifier)
            emit launchRequested();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);

    const QString prefix = wordBeforeCursor();
    const bool typedName = !event->text().isEmpty() && isNameCharacter(event->text().at(event->text().length() - 1));
    if (prefix.isEmpty() || (!typedName && key != Qt::Key_Backspace)) {
        m_completer->popup()->hide();
        return;
    }
    if (!popupShown)
        fillCompletions();
    m_completer->setCompletionPrefix(prefix);
    if (m_completer->completionCount() == 0) {
        m_completer->popup()->hide();
        return;
    }
    m_completer->popup()->setCurrentIndex(m_completer->completionModel()->index(0, 0));
    QRect area = cursorRect();
    area.setWidth(m_completer->popup()->sizeHintForColumn(0) + m_completer->popup()->verticalScrollBar()->sizeHint().width());
    m_completer->complete(area);
}

void KXEquationFormulaEdit::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    fitHeight();
    placeHelpButton();
}

// In the strip beside the text, left of the scroll bar when the formula scrolls.
void KXEquationFormulaEdit::placeHelpButton()
{
    const QRect inside = contentsRect();
    const QSize button = m_helpButton->sizeHint();
    const int scrollBar = verticalScrollBar()->isVisible() ? verticalScrollBar()->width() : 0;
    m_helpButton->setGeometry(inside.right() - scrollBar - button.width() + 1, inside.top(), button.width(),
                              button.height());
}

// As many lines as the formula takes, up to a few; beyond them the field scrolls.
void KXEquationFormulaEdit::fitHeight()
{
    const int lines = qBound(1, int(document()->documentLayout()->documentSize().height()), MAXIMUM_LINES);
    const int height = lines * fontMetrics().lineSpacing() + 2 * int(document()->documentMargin())
                       + contentsMargins().top() + contentsMargins().bottom() + 2;
    if (height != this->height())
        setFixedHeight(qMax(height, m_helpButton->isVisible() ? m_helpButton->sizeHint().height() : 0));
}
