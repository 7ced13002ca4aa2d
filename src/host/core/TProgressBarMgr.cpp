#include "TProgressBarMgr.h"

#include <atomic>

namespace {
std::atomic<TProgressDisplay*> currentDisplay{nullptr};
}

TProgressDisplay::~TProgressDisplay() = default;

TProgressDisplay* TProgressDisplay::current()
{
    return currentDisplay.load();
}

void TProgressDisplay::setCurrent(TProgressDisplay* display)
{
    currentDisplay.store(display);
}

TProgressBarMgr::TProgressBarMgr(int maximum, const QString& text, bool) : m_display(TProgressDisplay::current())
{
    if (m_display)
        m_display->start(maximum, text);
}

TProgressBarMgr::~TProgressBarMgr()
{
    if (m_display)
        m_display->finish();
}

void TProgressBarMgr::setProgress(int value, bool refresh)
{
    if (m_display)
        m_display->progress(value, refresh);
}
