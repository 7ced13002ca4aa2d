#pragma once

#include "kxequation_global.h"

#include <QPlainTextEdit>
#include <QSize>
#include <QSyntaxHighlighter>
#include <QVector>

class QAction;
class QCompleter;
class QLineEdit;
class QStandardItemModel;
class QTextBrowser;
class QToolButton;
class KXEquationVariableModel;

/// A stretch of formula text and what it is, for its colour.
struct KXEquationFormulaSpan {
    enum Kind { Number, Text, Function, Constant, Dataset, Operator, Parenthesis, Unmatched };
    int start;
    int length;
    Kind kind;
};

/// Colours a formula: numbers, texts, function names, constants, dataset variables and operators;
/// a parenthesis without partner in red.
class KXEQUATIONUI_EXPORT KXEquationFormulaHighlighter final : public QSyntaxHighlighter
{
public:
    KXEquationFormulaHighlighter(QTextDocument* document, const KXEquationVariableModel* variables);

    /// The coloured stretches of text, in the order of the text; names are looked up in variables.
    static QVector<KXEquationFormulaSpan> spans(const QString& text, const KXEquationVariableModel* variables);

protected:
    void highlightBlock(const QString& block) override;

private:
    const KXEquationVariableModel* m_variables;
};

/// The help text of the formula language under a search field; a double click on an entry asks for
/// its syntax to be inserted. The text itself never changes.
class KXEQUATIONUI_EXPORT KXEquationHelpWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit KXEquationHelpWindow(QWidget* parent = nullptr);

    void setHelp(const QString& html);
    QTextBrowser* browser() const { return m_browser; }
    QLineEdit* searchField() const { return m_search; }
    /// The syntax of the entry on the line at a position of the text, "sqrt(expr)"; empty off an entry.
    QString syntaxAt(int position) const;
    /// How many places the last search marked.
    int matchCount() const { return m_matches; }

signals:
    void insertRequested(const QString& syntax);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search(const QString& text);

    QLineEdit* m_search;
    QTextBrowser* m_browser;
    int m_matches = 0;
};

/// The formula field: grows to several lines, colours the formula, completes function names,
/// constants and dataset variables, marks where reading failed; Ctrl+Return asks for a launch.
class KXEQUATIONUI_EXPORT KXEquationFormulaEdit final : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit KXEquationFormulaEdit(const KXEquationVariableModel* variables, QWidget* parent = nullptr);
    ~KXEquationFormulaEdit() override;

    QString text() const;
    void setText(const QString& text);

    /// The help button shows html in a window titled title, of the given size.
    void setHelp(const QString& html, const QIcon& icon, const QString& title, const QSize& size);
    QAction* helpAction() const { return m_helpAction; }
    /// The help window once it has been opened; null before.
    KXEquationHelpWindow* helpWindow() const { return m_helpWindow; }

    /// Underlines characters start to start + length in red and puts the caret at start; an empty
    /// range underlines the character before it.
    void markError(int start, int length, bool moveCaret = true);
    void clearError();
    bool hasError() const { return m_error.length >= 0; }

    QCompleter* completer() const { return m_completer; }
    /// The names offered for a prefix, in the order of the list.
    QStringList completions(const QString& prefix);

signals:
    /// The text changed (a change of colours alone does not count).
    void formulaTextChanged(const QString& text);
    void launchRequested();

public slots:
    void showHelp();
    /// Inserts syntax at the caret and selects its first parameter, ready to be typed over.
    void insertSyntax(const QString& syntax);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void onTextChanged();
    void fillCompletions();
    void insertCompletion(const QString& completion);
    QString wordBeforeCursor() const;
    void fitHeight();
    void placeHelpButton();
    void updateSelections();

    const KXEquationVariableModel* m_variables;
    KXEquationFormulaHighlighter* m_highlighter;
    QCompleter* m_completer;
    QStandardItemModel* m_completions;
    QToolButton* m_helpButton;
    QAction* m_helpAction;
    KXEquationHelpWindow* m_helpWindow = nullptr;
    QString m_helpHtml;
    QString m_helpTitle;
    QSize m_helpSize;
    QString m_lastText;
    struct {
        int start = 0;
        int length = -1;
    } m_error;
};
