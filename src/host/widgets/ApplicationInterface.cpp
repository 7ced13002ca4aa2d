#include "ApplicationInterface.h"

#include <atomic>

namespace {
std::atomic<ApplicationInterface*> replacement{nullptr};
}

ApplicationInterface::~ApplicationInterface() = default;

ApplicationInterface* ApplicationInterface::returnMe()
{
    static ApplicationInterface builtIn;
    ApplicationInterface* instance = replacement.load();
    return instance ? instance : &builtIn;
}

void ApplicationInterface::setInstance(ApplicationInterface* instance)
{
    replacement.store(instance);
}

QWidget* ApplicationInterface::mainWidget() const
{
    return m_mainWidget.data();
}

void ApplicationInterface::setMainWidget(QWidget* widget)
{
    m_mainWidget = widget;
}
