#include "KXTestSupport.h"

#include <QCoreApplication>
#include <QMutexLocker>

#include <cmath>

namespace KXTest {

bool sameDouble(double actual, double expected)
{
    if (std::isnan(expected))
        return std::isnan(actual);
    if (std::isinf(expected) || expected == 0.0)
        return actual == expected && std::signbit(actual) == std::signbit(expected);
    return std::fabs(actual - expected) <= 1e-12 * std::max(1.0, std::fabs(expected));
}

MessageCapture::MessageCapture()
{
    m_previous = KXMessageSink::setHandler([this](KXMessageSink::Origin, const QString& text) {
        QMutexLocker locker(&m_mutex);
        m_messages.append(text);
    });
}

MessageCapture::~MessageCapture()
{
    KXMessageSink::setHandler(m_previous);
}

QStringList MessageCapture::messages() const
{
    QMutexLocker locker(&m_mutex);
    return m_messages;
}

LanguageScope::LanguageScope(TApplicationTranslator::Language language)
{
    m_translator.setLanguage(language);
    QCoreApplication::installTranslator(&m_translator);
}

LanguageScope::~LanguageScope()
{
    QCoreApplication::removeTranslator(&m_translator);
}

}
