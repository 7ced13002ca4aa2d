#pragma once

#include "kxequation_global.h"

#include "KXError.h"

#include <QString>
#include <QStringList>

class KXEquationCommand;
class KXEquationVariableModel;

/// A text that could not be read, and where: the characters of text() that the message is about
/// (an empty range marks a place, such as that of a missing operand).
class KXEQUATION_EXPORT KXEquationReadError : public KXError
{
public:
    KXEquationReadError(const QString& message, const QString& text, int start, int length);

    /// The text given to the interpret call that raised the error, blanks included.
    QString text() const { return m_text; }
    int start() const { return m_start; }
    int length() const { return m_length; }
    /// Moves the range into another text, of which the former text is a part.
    void setLocation(const QString& text, int start, int length);

private:
    QString m_text;
    int m_start;
    int m_length;
};

/// Top-down reader of formula text: decides what a whole text is and builds the one node for it;
/// nodes read their own sub-texts while they are constructed.
class KXEQUATION_EXPORT KXEquationInterpreter
{
public:
    explicit KXEquationInterpreter(KXEquationVariableModel* variableModel);
    KXEquationInterpreter(const KXEquationInterpreter& other) = default;
    KXEquationInterpreter& operator=(const KXEquationInterpreter& other) = default;
    virtual ~KXEquationInterpreter();

    /// A new tree owned by the caller, never null; throws KXEquationReadError when the text cannot be read.
    virtual KXEquationCommand* interpret(const QString& text);

    /// Every name that reads as a function call, in the order in which the names are tried.
    static QStringList functionNames();
    /// Why name cannot be a constant that formulas read back as itself, or empty when it can: a name
    /// starts with a letter or _ and holds letters, digits and _, and is no number, cell position,
    /// function or dataset variable (nor one of its sizes) of variables.
    static QString constantNameProblem(const QString& name, const KXEquationVariableModel& variables);

    static QString tr(const char* english, const char* french, int n = -1);

    /// Deepest nesting of interpret calls on one thread before the text is refused.
    static const int MaximumDepth = 1000;

private:
    KXEquationCommand* interpretSelectionRange(const QString& text);
    KXEquationCommand* interpretConstant(const QString& text);
    KXEquationCommand* interpretFunctions(const QString& text);
    KXEquationCommand* interpretOperations(const QString& text);
    KXEquationCommand* interpret3TokenOperator(const QString& text, int position);
    KXEquationCommand* interpret2TokenOperator(const QString& text, int position);
    KXEquationCommand* interpret1TokenOperator(const QString& text, int position);

    // Function-call dispatch
    KXEquationCommand* interpretMathFunctions(const QString& name, const QString& arguments);
    KXEquationCommand* interpretCalculationFunctions(const QString& name, const QString& arguments);
    KXEquationCommand* interpret2ArgFunctions(const QString& name, const QString& arguments);
    KXEquationCommand* interpret3ArgFunctions(const QString& name, const QString& arguments);

    // Scanning helpers
    static int minimumDepth(const QString& text);
    void evaluatePriority(const QString& text, int& position, int& operatorLength);
    bool getStringValue(const QString& text, QString& value);
    bool isParenthesisValid(const QString& text);
    int getParenthesis(const QString& text, int start);
    int getString(const QString& text, int start);
    void removeWhiteSpace(QString& text);
    bool getParam(const QString& text, QString& p1, QString& p2, QString& p3, QString& p4);
    static int unmatchedParenthesis(const QString& text);

    KXEquationVariableModel* m_variableModel;

    friend class KXEquationInterpreterTest;
};
