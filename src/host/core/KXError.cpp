#include "KXError.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPair>
#include <QVector>

#include <cstdio>

KXError::KXError(const QString& message, const QString& secondText, const QString& thirdText)
    : m_message(message), m_secondText(secondText), m_thirdText(thirdText), m_what(message.toUtf8())
{
}

KXError::KXError(const KXError& other) = default;
KXError& KXError::operator=(const KXError& other) = default;
KXError::~KXError() = default;

const char* KXError::what() const noexcept
{
    return m_what.constData();
}

void KXError::dispatchError(const std::exception& exception)
{
    const auto* error = dynamic_cast<const KXError*>(&exception);
    KXMessageSink::report(KXMessageSink::Origin::Exception,
                          error ? error->message() : QString::fromUtf8(exception.what()));
}

void MessageLoggerInterface::Error(const QString& text, MessageLogger*)
{
    KXMessageSink::report(KXMessageSink::Origin::Log, text);
}

void MessageLoggerInterface::Info(const QString& text, MessageLogger*)
{
    KXMessageSink::report(KXMessageSink::Origin::Info, text);
}

namespace {
QMutex handlerMutex;
KXMessageSink::Handler& currentHandler()
{
    static KXMessageSink::Handler handler;
    return handler;
}
}

KXMessageSink::Handler KXMessageSink::setHandler(Handler handler)
{
    QMutexLocker locker(&handlerMutex);
    Handler previous = currentHandler();
    currentHandler() = std::move(handler);
    return previous;
}

namespace {
/// What the open report scopes have collected: each report's count, in order of first arrival.
struct Repeats
{
    int depth = 0;
    QHash<QPair<int, QString>, int> counts;
    QVector<QPair<int, QString>> order;
};
QMutex repeatsMutex;
Repeats& repeats()
{
    static Repeats collected;
    return collected;
}
// The innermost capture of this thread; null when reports go to the handler.
thread_local KXMessageSink::Capture* threadCapture = nullptr;
}

KXMessageSink::Capture::Capture() : m_outer(threadCapture)
{
    threadCapture = this;
}

KXMessageSink::Capture::~Capture()
{
    threadCapture = m_outer;
}

KXReportScope::KXReportScope()
{
    QMutexLocker locker(&repeatsMutex);
    ++repeats().depth;
}

KXReportScope::~KXReportScope()
{
    QVector<QPair<int, QString>> again;
    {
        QMutexLocker locker(&repeatsMutex);
        Repeats& collected = repeats();
        if (--collected.depth > 0)
            return;
        for (const auto& key : qAsConst(collected.order)) {
            const int count = collected.counts.value(key);
            if (count > 1)
                again.append({key.first, QCoreApplication::translate("KXMessageSink", "%1 (repeated %2 times)",
                                                                     "%1 (répété %2 fois)", -1)
                                             .arg(key.second)
                                             .arg(count - 1)});
        }
        collected.counts.clear();
        collected.order.clear();
    }
    for (const auto& report : qAsConst(again))
        KXMessageSink::report(KXMessageSink::Origin(report.first), report.second);
}

void KXMessageSink::report(Origin origin, const QString& text)
{
    if (threadCapture) {
        threadCapture->m_texts.append(text);
        if (origin == Origin::Info)
            threadCapture->m_notes.append(text);
        return;
    }
    {
        QMutexLocker locker(&repeatsMutex);
        Repeats& collected = repeats();
        if (collected.depth > 0) {
            const QPair<int, QString> key(int(origin), text);
            if (collected.counts[key]++ > 0)
                return;
            collected.order.append(key);
        }
    }
    Handler handler;
    {
        QMutexLocker locker(&handlerMutex);
        handler = currentHandler();
    }
    if (handler)
        handler(origin, text);
    else
        printToStandardError(origin, text);
}

void KXMessageSink::printToStandardError(Origin origin, const QString& text)
{
    // One write per line so that reports from several threads never interleave.
    const QByteArray line = (origin == Origin::Info ? "note: " : "error: ") + text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}
