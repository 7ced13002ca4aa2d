#pragma once

#include "kxequation_global.h"

#include "Wizard.h"

/// The module's bar in the host's ribbon and the wizard that holds its page; tells the host's
/// main window when it becomes or stops being the current bar.
class KXEQUATIONUI_EXPORT KXRibbonEquation final : public VRN::Kestrix::Wizard::RibbonWizard
{
    Q_OBJECT
public:
    KXRibbonEquation();
    ~KXRibbonEquation() override;

    void closeRequested() override;
    int getIdForHelp() const override;

signals:
    void closeClicked();

public slots:
    void slotCurrentBarHasChanged(KXRibbonBar* bar) override;
};
