#pragma once

#include "KXEquationAbstractCtrl.h"
#include "KXEquationModel.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"

/// A controller base with an equation model that counts its refreshes.
class KXTestCtrl final : public KXEquationAbstractCtrl
{
public:
    KXTestCtrl() : KXEquationAbstractCtrl(new KXEquationModel, new KXEquationVariableModel) {}

    void updateInterface() override { ++refreshes; }

    KXEquationModel* model() const { return static_cast<KXEquationModel*>(equationModel()); }
    void setEditor(KXEquationVariableEditor* editor) { m_variableEditor = editor; }
    using KXEquationAbstractCtrl::getInterval;

    int refreshes = 0;
};
