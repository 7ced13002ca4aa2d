#pragma once

#include "KXEquationCommand.h"

/// A function of one numeric argument. The fifteen math functions share everything but their
/// row of the math table: keyword, function, result kind and message.
class KXEQUATION_EXPORT KXEquationMathCommand : public KXEquationCommand
{
public:
    /// How the argument becomes the result.
    enum class Result {
        Real,    // toDouble, no-value passes through, the function's double
        Rounded, // toInt, the integer itself
        Signed   // toDouble, no-value passes through, the function's value as an integer
    };

    struct Traits {
        const char* className; // also the translation context
        const char* keyword;
        double (*function)(double x);
        Result result;
        const char* english;
        const char* french;
    };

    KXEquationMathCommand(KXEquationVariableModel* variableModel, const QString& argument);
    explicit KXEquationMathCommand(KXEquationVariableModel* variableModel);
    ~KXEquationMathCommand() override;

    QVariant evaluate() const override;
    QString toString() const override;
    bool isRangeVariable() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

    /// The result for the argument's value (the second half of evaluate).
    QVariant apply(const QVariant& value) const;

protected:
    virtual KXEquationMathCommand* createBare(KXEquationVariableModel* target) const = 0;
    virtual const Traits& traits() const = 0;

private:
    std::unique_ptr<KXEquationCommand> m_argument;
};

// Every math function: declared here and registered with the reader under the keyword of its row
// of the math table, so a new function is a line here and its row.
#define KXEQUATION_MATH_FUNCTIONS(X) \
    X(KXEquationMathSQRTCommand) \
    X(KXEquationMathSINCommand) \
    X(KXEquationMathASINCommand) \
    X(KXEquationMathCOSCommand) \
    X(KXEquationMathACOSCommand) \
    X(KXEquationMathTANCommand) \
    X(KXEquationMathATANCommand) \
    X(KXEquationMathLOGCommand) \
    X(KXEquationMathLNCommand) \
    X(KXEquationMathABSCommand) \
    X(KXEquationMathFLOORCommand) \
    X(KXEquationMathCEILCommand) \
    X(KXEquationMathEXPCommand) \
    X(KXEquationMathROUNDCommand) \
    X(KXEquationMathSIGNCommand)

#define KXEQUATION_MATH_MEMBER(Name) KXEQUATION_FAMILY_MEMBER(Name, KXEquationMathCommand)
KXEQUATION_MATH_FUNCTIONS(KXEQUATION_MATH_MEMBER)
#undef KXEQUATION_MATH_MEMBER
