#pragma once

#include "KXHostGlobal.h"

#include <QString>

/// The host's standard questions. The asking object is replaceable, so that tests give the answers.
class KXHOSTUI_EXPORT TMessageBox
{
public:
    enum Answer { OK = 0, Cancel = 1, Save = 2, Discard = 3 };

    virtual ~TMessageBox();

    /// Asks text with OK and Cancel buttons, details behind a button when not empty; 0 when accepted.
    static int questionOKCancel(const QString& title, const QString& text, const QString& details);
    /// Before closing the window or the project: asks whether to drop the computed tables not saved
    /// in the project, if there are any; true when closing may go on.
    static bool confirmDiscardUnsaved(int unsavedCount);
    /// Before closing what holds unsaved work: Save, Discard or Cancel (Qt's own buttons, in the
    /// interface language when Qt's translations are loaded).
    static int questionSaveDiscardCancel(const QString& title, const QString& text);

    static TMessageBox* returnMe();
    /// Makes instance the one that asks (null restores the built-in one); the caller keeps ownership.
    static void setInstance(TMessageBox* instance);

    /// A modal box over the application's main widget; Cancel when there is no widget application.
    virtual int askOKCancel(const QString& title, const QString& text, const QString& details);
    /// A modal box with Save, Discard and Cancel, Save the default; Cancel when there is no widget application.
    virtual int askSaveDiscardCancel(const QString& title, const QString& text);
};
