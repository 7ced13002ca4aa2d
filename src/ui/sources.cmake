# Sources of src/ui, added to the kxequationui library.
target_sources(kxequationui PRIVATE
    ui/KXEquationVariableEditor.h ui/KXEquationVariableEditor.cpp
    ui/KXEquationQuickHelp.h ui/KXEquationQuickHelp.cpp
    ui/KXEquationEditor.h ui/KXEquationEditor.cpp
    ui/KXRibbonEquation.h ui/KXRibbonEquation.cpp
)
