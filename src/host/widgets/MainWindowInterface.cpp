#include "MainWindowInterface.h"

#include "KXModuleCtrl.h"
#include "KXRibbon.h"
#include "TMessageBox.h"

#include <QCoreApplication>

#include <atomic>

namespace {
std::atomic<MainWindowInterface*> mainWindowReplacement{nullptr};
std::atomic<WorkspaceInterface*> workspaceInstance{nullptr};

// Messages
QString closeTitle()
{
    return QCoreApplication::translate("WorkspaceInterface", "Close the module", "Fermer le module", -1);
}
QString closeQuestion()
{
    return QCoreApplication::translate("WorkspaceInterface", "Do you want to close this module?",
                                       "Voulez-vous fermer ce module ?", -1);
}
}

MainWindowInterface::~MainWindowInterface() = default;

MainWindowInterface* MainWindowInterface::returnMe()
{
    static MainWindowInterface builtIn;
    MainWindowInterface* instance = mainWindowReplacement.load();
    return instance ? instance : &builtIn;
}

void MainWindowInterface::setInstance(MainWindowInterface* instance)
{
    mainWindowReplacement.store(instance);
}

void MainWindowInterface::activateModuleBar(KXRibbonBar* bar, int)
{
    m_activeBar = bar;
}

void MainWindowInterface::deactivateModuleBar(KXRibbonBar* bar)
{
    if (m_activeBar == bar)
        m_activeBar = nullptr;
}

KXRibbonBar* MainWindowInterface::activeModuleBar() const
{
    return m_activeBar.data();
}

WorkspaceInterface::~WorkspaceInterface() = default;

WorkspaceInterface* WorkspaceInterface::returnMe()
{
    return workspaceInstance.load();
}

void WorkspaceInterface::setInstance(WorkspaceInterface* instance)
{
    workspaceInstance.store(instance);
}

bool WorkspaceInterface::closeModule(TModuleCtrl* module)
{
    if (!module)
        return false;
    return TMessageBox::questionOKCancel(closeTitle(), closeQuestion(), QString()) == TMessageBox::OK;
}
