#pragma once

#include "KXHostGlobal.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

/// A failure thrown by value and caught by reference; carries a user message and two further texts.
class KXHOST_EXPORT KXError : public std::exception
{
public:
    explicit KXError(const QString& message, const QString& secondText = QString(),
                     const QString& thirdText = QString());
    KXError(const KXError& other);
    KXError& operator=(const KXError& other);
    ~KXError() override;

    const char* what() const noexcept override;
    QString message() const { return m_message; }
    QString secondText() const { return m_secondText; }
    QString thirdText() const { return m_thirdText; }

    /// Reports a caught exception to the user; safe on any thread.
    static void dispatchError(const std::exception& exception);

private:
    QString m_message;
    QString m_secondText;
    QString m_thirdText;
    QByteArray m_what;
};

class MessageLogger;

/// The host's message log.
class KXHOST_EXPORT MessageLoggerInterface
{
public:
    static void Error(const QString& text, MessageLogger* logger = nullptr);
    /// A line that explains or follows an error, or a notice that is no failure.
    static void Info(const QString& text, MessageLogger* logger = nullptr);
};

/// Where error reports end up: a desktop window, the terminal, or a test's capture.
/// The handler may be called from any thread and must not touch widgets itself.
class KXHOST_EXPORT KXMessageSink
{
public:
    /// Located: a failure that the user interface already shows where it happened; log it only.
    enum class Origin { Exception, Log, Info, Located };
    using Handler = std::function<void(Origin origin, const QString& text)>;

    /// Installs a handler (an empty one restores the default, which prints to stderr); returns the previous one.
    static Handler setHandler(Handler handler);
    static void report(Origin origin, const QString& text);
    /// The default handler: one line "error: TEXT" on stderr ("note: TEXT" for Info), in UTF-8.
    static void printToStandardError(Origin origin, const QString& text);

    /// While it lives, the reports made on the thread that created it are kept here instead of
    /// reaching the handler: work done for a preview shows its failures itself.
    class KXHOST_EXPORT Capture
    {
    public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;
        QStringList texts() const { return m_texts; }
        /// The texts reported as notes (Info), which texts() holds too.
        QStringList notes() const { return m_notes; }

    private:
        friend class KXMessageSink;
        Capture* m_outer;
        QStringList m_texts;
        QStringList m_notes;
    };
};

/// While it lives, identical reports (same origin, same text) from any thread are passed on
/// once; when it ends, each one that came again is reported once more with its count:
/// "TEXT (repeated N times)". A scope inside another adds nothing: the outer one collects.
class KXHOST_EXPORT KXReportScope
{
public:
    KXReportScope();
    ~KXReportScope();
    KXReportScope(const KXReportScope&) = delete;
    KXReportScope& operator=(const KXReportScope&) = delete;
};
