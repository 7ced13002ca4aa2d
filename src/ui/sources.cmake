# Sources of src/ui, added to the kxequation library.
target_sources(kxequation PRIVATE
    ui/KXEquationVariableEditor.h ui/KXEquationVariableEditor.cpp
    ui/KXEquationQuickHelp.h ui/KXEquationQuickHelp.cpp
)
