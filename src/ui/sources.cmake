# Sources of src/ui, added to the kxequationui library.
target_sources(kxequationui PRIVATE
    ui/KXEquationVariableEditor.h ui/KXEquationVariableEditor.cpp
    ui/KXEquationQuickHelp.h ui/KXEquationQuickHelp.cpp
    ui/KXEquationFormulaEdit.h ui/KXEquationFormulaEdit.cpp
    ui/KXEquationEditor.h ui/KXEquationEditor.cpp
    ui/KXRibbonEquation.h ui/KXRibbonEquation.cpp
)
kx_public_headers(kxequationui ui/KXEquationVariableEditor.h ui/KXEquationQuickHelp.h ui/KXEquationEditor.h
    ui/KXRibbonEquation.h ui/KXEquationFormulaEdit.h)
