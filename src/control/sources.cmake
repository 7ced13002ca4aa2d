# Sources of src/control: the computation in the core library, the controllers above it.
target_sources(kxequation PRIVATE
    control/KXEquationParallelData.h control/KXEquationParallelData.cpp
    control/KXEquationCellProgram.h control/KXEquationTreeWalkProgram.cpp
    control/KXEquationProgramCode.h
    control/KXEquationDatasetSnapshot.h control/KXEquationDatasetSnapshot.cpp
    control/KXEquationCompiledProgram.h control/KXEquationCompiledProgram.cpp
    control/KXEquationDocument.h control/KXEquationDocument.cpp
    control/KXEquationComputation.h control/KXEquationComputation.cpp
    control/KXEquationLaunch.h control/KXEquationLaunch.cpp
)
target_sources(kxequationui PRIVATE
    control/KXEquationAbstractCtrl.h control/KXEquationAbstractCtrl.cpp
    control/KXEquationCtrl.h control/KXEquationCtrl.cpp
)
# The engines' programs, snapshots and cell tasks stay inside the library.
kx_public_headers(kxequation control/KXEquationDocument.h control/KXEquationComputation.h
    control/KXEquationLaunch.h)
kx_public_headers(kxequationui control/KXEquationAbstractCtrl.h control/KXEquationCtrl.h)
