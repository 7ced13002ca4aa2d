#include "KXRibbonEquation.h"

#include "MainWindowInterface.h"
#include "TPixmapCache.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QToolButton>

namespace {
const int HELP_ID = 105;
// What the main window shows while this bar is current: the wizard panel and the data editor.
const int MODULE_PANELS = 3;
}

KXRibbonEquation::KXRibbonEquation() : RibbonWizard(tr("Equation editor", "Editeur d'équation"))
{
    m_pixmap = TPixmapCache::find(QStringLiteral("stat_32"));
    m_captionLabel->setText(tr("Settings parameters", "Paramètres de configuration"));

    // The module has one page: the wizard's page navigation has no use here.
    QBoxLayout* groupLayout = m_moduleGroup->layout();
    groupLayout->removeWidget(m_previousButton);
    delete m_previousButton;
    m_previousButton = nullptr;
    groupLayout->removeWidget(m_nextButton);
    delete m_nextButton;
    m_nextButton = nullptr;
    m_moduleGroup->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Minimum);
}

KXRibbonEquation::~KXRibbonEquation()
{
    MainWindowInterface::returnMe()->deactivateModuleBar(this);
}

void KXRibbonEquation::closeRequested()
{
    KXRibbonBar::closeRequested();
    // The controller may delete itself, and this bar with it, while the signal is delivered.
    const QPointer<KXRibbonEquation> alive(this);
    emit closeClicked();
    if (alive)
        MainWindowInterface::returnMe()->deactivateModuleBar(this);
}

void KXRibbonEquation::slotCurrentBarHasChanged(KXRibbonBar* bar)
{
    RibbonWizard::slotCurrentBarHasChanged(bar);
    if (bar == this)
        MainWindowInterface::returnMe()->activateModuleBar(this, MODULE_PANELS);
    else
        MainWindowInterface::returnMe()->deactivateModuleBar(this);
}

int KXRibbonEquation::getIdForHelp() const
{
    return HELP_ID;
}
