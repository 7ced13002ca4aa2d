# Sources of src/model, added to the kxequation library.
target_sources(kxequation PRIVATE
    model/KXEquationVariableModel.h model/KXEquationVariableModel.cpp
    model/KXEquationVariableModelXml.cpp
    model/KXEquationModel.h model/KXEquationModel.cpp
)
kx_public_headers(kxequation model/KXEquationVariableModel.h model/KXEquationModel.h)
