# Sources of src/control, added to the kxequation library.
target_sources(kxequation PRIVATE
    control/KXEquationAbstractCtrl.h control/KXEquationAbstractCtrl.cpp
    control/KXEquationParallelData.h control/KXEquationParallelData.cpp
    control/KXEquationCtrl.h control/KXEquationCtrl.cpp
)
