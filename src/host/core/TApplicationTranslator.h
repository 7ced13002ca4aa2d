#pragma once

#include "KXHostGlobal.h"

#include <QTranslator>

#include <atomic>

/// The host translator: every text is requested with its English source and its French
/// disambiguation, so French is answered straight from the request.
class KXHOST_EXPORT TApplicationTranslator : public QTranslator
{
    Q_OBJECT
public:
    enum Language { English, French };

    explicit TApplicationTranslator(QObject* parent = nullptr);

    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;

    void setLanguage(Language language) { m_language = language; }
    Language language() const { return m_language; }

    /// Parses "en" or "fr"; false for any other code.
    static bool languageFromCode(const QString& code, Language* language);
    /// Installs the application's translator for "en" or "fr" (one per application); false for another code.
    static bool install(const QString& code);

private:
    std::atomic<Language> m_language{English};
};
