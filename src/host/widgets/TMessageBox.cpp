#include "TMessageBox.h"

#include "ApplicationInterface.h"

#include <QApplication>
#include <QMessageBox>

#include <atomic>

namespace {
std::atomic<TMessageBox*> replacement{nullptr};

// Messages
QString translated(const char* english, const char* french)
{
    return QCoreApplication::translate("TMessageBox", english, french, -1);
}
QString unsavedTitle()
{
    return translated("Unsaved tables", "Tableaux non enregistrés");
}
QString unsavedQuestion(int count)
{
    if (count == 1)
        return translated("1 computed table is not saved in the project. Close anyway?",
                          "1 tableau calculé n'est pas enregistré dans le projet. Fermer quand même ?");
    return translated("%1 computed tables are not saved in the project. Close anyway?",
                      "%1 tableaux calculés ne sont pas enregistrés dans le projet. Fermer quand même ?")
        .arg(count);
}
}

TMessageBox::~TMessageBox() = default;

int TMessageBox::questionOKCancel(const QString& title, const QString& text, const QString& details)
{
    return returnMe()->askOKCancel(title, text, details);
}

bool TMessageBox::confirmDiscardUnsaved(int unsavedCount)
{
    return unsavedCount <= 0 || questionOKCancel(unsavedTitle(), unsavedQuestion(unsavedCount), QString()) == OK;
}

int TMessageBox::questionSaveDiscardCancel(const QString& title, const QString& text)
{
    return returnMe()->askSaveDiscardCancel(title, text);
}

TMessageBox* TMessageBox::returnMe()
{
    static TMessageBox builtIn;
    TMessageBox* instance = replacement.load();
    return instance ? instance : &builtIn;
}

void TMessageBox::setInstance(TMessageBox* instance)
{
    replacement.store(instance);
}

int TMessageBox::askOKCancel(const QString& title, const QString& text, const QString& details)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return Cancel;
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    ApplicationInterface::returnMe()->mainWidget());
    box.setDefaultButton(QMessageBox::Cancel);
    if (!details.isEmpty())
        box.setDetailedText(details);
    return box.exec() == QMessageBox::Ok ? OK : Cancel;
}

int TMessageBox::askSaveDiscardCancel(const QString& title, const QString& text)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return Cancel;
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                    ApplicationInterface::returnMe()->mainWidget());
    box.setObjectName(QStringLiteral("saveQuestion"));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return Save;
    case QMessageBox::Discard:
        return Discard;
    default:
        return Cancel;
    }
}
