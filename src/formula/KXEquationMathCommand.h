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

KXEQUATION_FAMILY_MEMBER(KXEquationMathSQRTCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathSINCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathASINCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathCOSCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathACOSCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathTANCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathATANCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathLOGCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathLNCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathABSCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathFLOORCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathCEILCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathEXPCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathROUNDCommand, KXEquationMathCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationMathSIGNCommand, KXEquationMathCommand)
