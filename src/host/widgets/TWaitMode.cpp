#include "TWaitMode.h"

#include <QApplication>

TWaitMode::TWaitMode(bool active)
{
    // Only a widget application has a cursor to change.
    if (active && qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursorSet = true;
    }
}

TWaitMode::~TWaitMode()
{
    if (m_cursorSet)
        QApplication::restoreOverrideCursor();
}
