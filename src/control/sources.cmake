# Sources of src/control, added to the kxequation library.
target_sources(kxequation PRIVATE
    control/KXEquationParallelData.h control/KXEquationParallelData.cpp
)
