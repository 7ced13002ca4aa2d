#include "KXModuleCtrl.h"

#include <QAction>

ModuleObserver::~ModuleObserver() = default;

TModuleCtrl::TModuleCtrl(const QString& moduleKey) : m_moduleKey(moduleKey)
{
}

TModuleCtrl::~TModuleCtrl() = default;

KXModuleCtrl::KXModuleCtrl(const QString& moduleKey) : TModuleCtrl(moduleKey)
{
}

KXModuleCtrl::~KXModuleCtrl()
{
    qDeleteAll(m_actions);
}

void KXModuleCtrl::initActions()
{
    // Actions need a GUI application; a command-line run has none.
    if (!m_actions.isEmpty())
        return;
}

void KXModuleCtrl::setActionEnabled(int actionId, bool enabled)
{
    if (QAction* action = m_actions.value(actionId))
        action->setEnabled(enabled);
}
