#pragma once

#include "kxequation_global.h"

#include <QString>

class KXEquationCommand;
class KXEquationVariableModel;

/// Top-down reader of formula text: decides what a whole text is and builds the one node for it;
/// nodes read their own sub-texts while they are constructed.
class KXEQUATION_EXPORT KXEquationInterpreter
{
public:
    explicit KXEquationInterpreter(KXEquationVariableModel* variableModel);
    KXEquationInterpreter(const KXEquationInterpreter& other) = default;
    KXEquationInterpreter& operator=(const KXEquationInterpreter& other) = default;
    virtual ~KXEquationInterpreter();

    /// A new tree owned by the caller, never null; throws KXError when the text cannot be read.
    virtual KXEquationCommand* interpret(const QString& text);

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

    KXEquationVariableModel* m_variableModel;

    friend class KXEquationInterpreterTest;
};
