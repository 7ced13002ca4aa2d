#pragma once

#include "KXHostGlobal.h"

#include <QPointer>
#include <QWidget>

/// Reaches the application's main objects. Replaceable, so that tests and programs choose the instance.
class KXHOSTUI_EXPORT ApplicationInterface
{
public:
    virtual ~ApplicationInterface();

    static ApplicationInterface* returnMe();
    /// Makes instance the one returnMe gives (null restores the built-in one); the caller keeps ownership.
    static void setInstance(ApplicationInterface* instance);

    /// The application's main window, parent of its dialogs; may be null.
    virtual QWidget* mainWidget() const;
    void setMainWidget(QWidget* widget);

private:
    QPointer<QWidget> m_mainWidget;
};
