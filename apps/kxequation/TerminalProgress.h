#pragma once

#include "TProgressBarMgr.h"

#include <QElapsedTimer>

/// A progress line on a terminal's standard error, redrawn at most ten times a second.
class TerminalProgress final : public TProgressDisplay
{
public:
    void start(int maximum, const QString& text) override;
    void progress(int value, bool refresh) override;
    void finish() override;

private:
    void draw(int value);

    int m_maximum = 0;
    QString m_text;
    QElapsedTimer m_sinceDraw;
    bool m_drawn = false;
};
