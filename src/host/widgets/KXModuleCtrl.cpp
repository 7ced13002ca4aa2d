#include "KXModuleCtrl.h"

#include <QAction>

ModuleObserver::~ModuleObserver() = default;

ModuleEditorAbstract::~ModuleEditorAbstract() = default;

void ModuleEditorAbstract::registerObserver(ModuleObserver* observer)
{
    if (observer && !m_observers.contains(observer))
        m_observers.append(observer);
}

void ModuleEditorAbstract::unregisterObserver(ModuleObserver* observer)
{
    m_observers.removeAll(observer);
}

void ModuleEditorAbstract::notifySaveRequested()
{
    const QList<ModuleObserver*> observers = m_observers;
    for (ModuleObserver* observer : observers)
        observer->SaveRequested();
}

void ModuleEditorAbstract::notifyActionTriggered(int actionId)
{
    const QList<ModuleObserver*> observers = m_observers;
    for (ModuleObserver* observer : observers)
        observer->actionTriggered(actionId);
}

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
