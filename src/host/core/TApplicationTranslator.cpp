#include "TApplicationTranslator.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

TApplicationTranslator::TApplicationTranslator(QObject* parent) : QTranslator(parent)
{
}

QString TApplicationTranslator::translate(const char*, const char*, const char* disambiguation, int) const
{
    // A null answer lets Qt fall back to the English source text.
    if (m_language == French && disambiguation && *disambiguation)
        return QString::fromUtf8(disambiguation);
    return QString();
}

bool TApplicationTranslator::languageFromCode(const QString& code, Language* language)
{
    if (code == QLatin1String("en"))
        *language = English;
    else if (code == QLatin1String("fr"))
        *language = French;
    else
        return false;
    return true;
}

bool TApplicationTranslator::install(const QString& code)
{
    Language language;
    if (!languageFromCode(code, &language) || !QCoreApplication::instance())
        return false;
    static TApplicationTranslator* translator = nullptr;
    if (!translator) {
        translator = new TApplicationTranslator(QCoreApplication::instance());
        QCoreApplication::installTranslator(translator);
    }
    translator->setLanguage(language);
    // Qt's own texts (message-box buttons, file dialogs) come from Qt's translations, when installed.
    static QTranslator* qtTranslator = nullptr;
    if (!qtTranslator) {
        qtTranslator = new QTranslator(QCoreApplication::instance());
        qtTranslator->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    }
    if (language == French)
        QCoreApplication::installTranslator(qtTranslator);
    else
        QCoreApplication::removeTranslator(qtTranslator);
    return true;
}
