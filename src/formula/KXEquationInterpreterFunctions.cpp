#include "KXEquationInterpreter.h"

#include "KXEquationCommand.h"

// Function-call dispatch: not yet available, so every call falls through to the operators.
KXEquationCommand* KXEquationInterpreter::interpretFunctions(const QString&)
{
    return nullptr;
}

KXEquationCommand* KXEquationInterpreter::interpretMathFunctions(const QString&, const QString&)
{
    return nullptr;
}

KXEquationCommand* KXEquationInterpreter::interpretCalculationFunctions(const QString&, const QString&)
{
    return nullptr;
}

KXEquationCommand* KXEquationInterpreter::interpret2ArgFunctions(const QString&, const QString&)
{
    return nullptr;
}

KXEquationCommand* KXEquationInterpreter::interpret3ArgFunctions(const QString&, const QString&)
{
    return nullptr;
}
