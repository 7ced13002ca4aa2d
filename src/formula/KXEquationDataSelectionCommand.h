#pragma once

#include "KXEquationCommand.h"

/// A rectangular block of the first dataset variable, named by header texts: [A|1:C|5].
class KXEQUATION_EXPORT KXEquationDataSelectionCommand final : public KXEquationCommand
{
public:
    KXEquationDataSelectionCommand(KXEquationVariableModel* variableModel, const QString& selection);

    QVariant evaluate() const override;
    QString toString() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

private:
    QString m_selection;
};
