# Sources of src/formula, added to the kxequation library.
target_sources(kxequation PRIVATE
    formula/KXEquationFacts.h
    formula/KXEquationCommand.h formula/KXEquationCommand.cpp
    formula/KXEquationCompiler.h
    formula/KXEquationInterpreter.h formula/KXEquationInterpreter.cpp
    formula/KXEquationInterpreterFunctions.cpp formula/KXEquationReadParts.h
    formula/KXEquationOperatorCommand.h formula/KXEquationOperatorCommand.cpp
    formula/KXEquationDataSelectionCommand.h formula/KXEquationDataSelectionCommand.cpp
    formula/KXEquationMathCommand.h formula/KXEquationMathCommand.cpp
    formula/KXEquationCalculationCommand.h formula/KXEquationCalculationCommand.cpp
    formula/KXEquationDataCommand.h formula/KXEquationDataCommand.cpp
)
# A consumer reads formulas and evaluates trees; the node families and the compiler stay inside.
kx_public_headers(kxequation formula/KXEquationCommand.h formula/KXEquationInterpreter.h)
