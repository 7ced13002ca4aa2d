#include "TerminalProgress.h"

#include <cstdio>

void TerminalProgress::start(int maximum, const QString& text)
{
    m_maximum = maximum;
    m_text = text;
    m_drawn = false;
    m_sinceDraw.start();
}

void TerminalProgress::progress(int value, bool refresh)
{
    if (refresh && m_sinceDraw.elapsed() >= 100)
        draw(value);
}

void TerminalProgress::draw(int value)
{
    const int width = 30;
    const double share = m_maximum > 0 ? qBound(0.0, double(value) / m_maximum, 1.0) : 1.0;
    const int filled = int(share * width);
    const QString bar = QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('-'));
    const QByteArray line = QStringLiteral("\r%1 [%2] %3%").arg(m_text, bar).arg(int(share * 100)).toUtf8();
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
}
