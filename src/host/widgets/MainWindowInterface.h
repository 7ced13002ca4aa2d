#pragma once

#include "KXHostGlobal.h"

#include <QPointer>

class KXRibbonBar;
class TModuleCtrl;

/// The application's main window as the modules see it. Replaceable, so that tests and programs
/// choose the instance; the built-in one only remembers the active module bar.
class KXHOSTUI_EXPORT MainWindowInterface
{
public:
    /// What the main window shows for an active module bar (flags).
    enum ModulePanels { WizardPanel = 1, DataEditorPanel = 2 };

    virtual ~MainWindowInterface();

    static MainWindowInterface* returnMe();
    /// Makes instance the one returnMe gives (null restores the built-in one); the caller keeps ownership.
    static void setInstance(MainWindowInterface* instance);

    /// bar is now the active module bar; panels says which of the module's panels to show.
    virtual void activateModuleBar(KXRibbonBar* bar, int panels);
    /// bar stops being active (it is no longer current, is closed or is being destroyed).
    virtual void deactivateModuleBar(KXRibbonBar* bar);

    KXRibbonBar* activeModuleBar() const;

private:
    QPointer<KXRibbonBar> m_activeBar;
};

/// The workspace that runs the modules. Replaceable; there is none until a program installs one.
class KXHOSTUI_EXPORT WorkspaceInterface
{
public:
    virtual ~WorkspaceInterface();

    /// The installed workspace, or null.
    static WorkspaceInterface* returnMe();
    /// Makes instance the one returnMe gives (null: none); the caller keeps ownership.
    static void setInstance(WorkspaceInterface* instance);

    /// Asks the user before module closes; true means the caller may delete the module at once.
    virtual bool closeModule(TModuleCtrl* module);
};
