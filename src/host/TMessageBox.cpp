#include "TMessageBox.h"

#include "ApplicationInterface.h"

#include <QApplication>
#include <QMessageBox>

#include <atomic>

namespace {
std::atomic<TMessageBox*> replacement{nullptr};
}

TMessageBox::~TMessageBox() = default;

int TMessageBox::questionOKCancel(const QString& title, const QString& text, const QString& details)
{
    return returnMe()->askOKCancel(title, text, details);
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
