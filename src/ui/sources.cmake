# Sources of src/ui, added to the kxequation library.
target_sources(kxequation PRIVATE
    ui/KXEquationQuickHelp.h ui/KXEquationQuickHelp.cpp
)
