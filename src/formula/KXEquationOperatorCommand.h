#pragma once

#include "KXEquationCommand.h"

#include <vector>

/// A two-operand node. The fourteen operators share everything but their row of the operator
/// table: symbol, type rule, function and message prefix.
class KXEQUATION_EXPORT KXEquationOperatorCommand : public KXEquationCommand
{
public:
    /// How an operator treats its operands.
    enum class Rule {
        Addition,   // numbers add, texts join
        Arithmetic, // both converted to numbers; no-value passes through
        Remainder,  // as Arithmetic, the result kept in single precision
        Ordering,   // both converted to numbers; false against no-value
        Equality,   // any two values, compared as variants
        Logical     // two booleans
    };

    struct Traits {
        const char* className; // also the translation context
        const char* symbol;
        const char* textForm;
        int level; // binding: 0 (AND, OR) is the weakest, LevelCount - 1 the strongest
        Rule rule;
        const char* englishPrefix;
        const char* frenchPrefix;
        double (*arithmetic)(double x, double y);
        bool (*ordering)(double x, double y);
        bool (*logical)(bool p, bool q);
    };

    KXEquationOperatorCommand(KXEquationVariableModel* variableModel, const QString& left, const QString& right);
    explicit KXEquationOperatorCommand(KXEquationVariableModel* variableModel);
    ~KXEquationOperatorCommand() override;

    QVariant evaluate() const override;
    QString toString() const override;
    bool isRangeVariable() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

    /// The value for the operands' values a and b (the second half of evaluate).
    QVariant combine(const QVariant& a, const QVariant& b) const;

    /// Number of binding levels; a text is split at an operator of the lowest level present.
    static const int LevelCount = 5;
    /// Every operator's row, longer symbols first, so that "<=" is matched before "<".
    static const std::vector<const Traits*>& longestFirst();

    /// The node for an operator written as symbol, or null when symbol is no operator.
    static KXEquationCommand* create(KXEquationVariableModel* variableModel, const QString& symbol,
                                     const QString& left, const QString& right);

protected:
    virtual KXEquationOperatorCommand* createBare(KXEquationVariableModel* target) const = 0;
    virtual const Traits& traits() const = 0;

private:
    QVariant add(const QVariant& a, const QVariant& b) const;
    QVariant compute(const QVariant& a, const QVariant& b) const;
    QVariant combineLogical(const QVariant& a, const QVariant& b) const;
    QVariant operandError(const KXEquationCommand& operand, const char* englishSuffix,
                          const char* frenchSuffix) const;
    QString translate(const char* english, const char* french) const;

    std::unique_ptr<KXEquationCommand> m_left;
    std::unique_ptr<KXEquationCommand> m_right;
};

// Every operator: declared here and registered with the reader from its row of the operator
// table, so a new operator is a line here and its row.
#define KXEQUATION_OPERATORS(X) \
    X(KXEquationOperatorPlusCommand) \
    X(KXEquationOperatorMinusCommand) \
    X(KXEquationOperatorMultiplyCommand) \
    X(KXEquationOperatorDivideCommand) \
    X(KXEquationOperatorModuloCommand) \
    X(KXEquationOperatorPowerCommand) \
    X(KXEquationOperatorSuperiorCommand) \
    X(KXEquationOperatorInferiorCommand) \
    X(KXEquationOperatorEqualCommand) \
    X(KXEquationOperatorANDCommand) \
    X(KXEquationOperatorInferiorEqualCommand) \
    X(KXEquationOperatorSuperiorEqualCommand) \
    X(KXEquationOperatorInequalCommand) \
    X(KXEquationOperatorORCommand)

#define KXEQUATION_OPERATOR_MEMBER(Name) KXEQUATION_FAMILY_MEMBER(Name, KXEquationOperatorCommand)
KXEQUATION_OPERATORS(KXEQUATION_OPERATOR_MEMBER)
#undef KXEQUATION_OPERATOR_MEMBER
