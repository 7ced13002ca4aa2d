#pragma once

#include "KXHostGlobal.h"

#include <QString>

/// Shows progress somewhere: a terminal line, a dialog, a status bar. The program chooses one.
class KXHOST_EXPORT TProgressDisplay
{
public:
    virtual ~TProgressDisplay();
    virtual void start(int maximum, const QString& text) = 0;
    /// refresh asks the display to redraw now; other steps may be shown later or skipped.
    virtual void progress(int value, bool refresh) = 0;
    virtual void finish() = 0;

    /// The display every progress indicator uses; null (the default) shows nothing.
    static TProgressDisplay* current();
    static void setCurrent(TProgressDisplay* display);
};

/// Progress indication for the lifetime of the object.
class KXHOST_EXPORT TProgressBarMgr
{
public:
    TProgressBarMgr(int maximum, const QString& text, bool cancelHidden);
    ~TProgressBarMgr();
    TProgressBarMgr(const TProgressBarMgr&) = delete;
    TProgressBarMgr& operator=(const TProgressBarMgr&) = delete;

    void setProgress(int value, bool refresh);

private:
    TProgressDisplay* m_display;
};
