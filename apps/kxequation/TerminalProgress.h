#pragma once

#include <QElapsedTimer>
#include <QString>

/// A progress line on a terminal's standard error with the elapsed time and the cells computed
/// per second, redrawn at most ten times a second.
class TerminalProgress final
{
public:
    void start(qint64 maximum, const QString& text);
    void progress(qint64 value, bool refresh);
    /// Clears the line; a second call does nothing.
    void finish();
    bool started() const { return m_started; }

private:
    void draw(qint64 value);

    qint64 m_maximum = 0;
    QString m_text;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceDraw;
    bool m_started = false;
    bool m_drawn = false;
};
