#include "TerminalProgress.h"

#include <cstdio>

void TerminalProgress::start(qint64 maximum, const QString& text)
{
    m_maximum = maximum;
    m_text = text;
    m_started = true;
    m_drawn = false;
    m_sinceStart.start();
    m_sinceDraw.start();
}

void TerminalProgress::progress(qint64 value, bool refresh)
{
    if (refresh || m_sinceDraw.elapsed() >= 100)
        draw(value);
}

void TerminalProgress::draw(qint64 value)
{
    const int width = 30;
    const double share = m_maximum > 0 ? qBound(0.0, double(value) / double(m_maximum), 1.0) : 1.0;
    const int filled = int(share * width);
    const QString bar = QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('-'));
    const double seconds = m_sinceStart.nsecsElapsed() / 1e9;
    // Rates read best with a unit prefix: "2.5 M cells/s".
    double shown = seconds > 0 ? double(value) / seconds : 0.0;
    QString unit = QStringLiteral("cells/s");
    for (const char* prefix : {"k", "M", "G"}) {
        if (shown < 1000)
            break;
        shown /= 1000;
        unit = QLatin1String(prefix) + QStringLiteral(" cells/s");
    }
    const QByteArray line = QStringLiteral("\r%1 [%2] %3% %4 s %5 %6\033[K")
                                .arg(m_text, bar)
                                .arg(int(share * 100))
                                .arg(seconds, 0, 'f', 1)
                                .arg(shown, 0, 'f', 1)
                                .arg(unit)
                                .toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    m_drawn = true;
    m_sinceDraw.restart();
}

void TerminalProgress::finish()
{
    if (m_drawn) {
        // Clear the line so that later messages start at the left margin.
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
    m_drawn = false;
    m_started = false;
}
