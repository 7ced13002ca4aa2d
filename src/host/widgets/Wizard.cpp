#include "Wizard.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace VRN::Kestrix::Wizard {

namespace {
// Messages
QString tr(const char* english, const char* french)
{
    return QCoreApplication::translate("RibbonWizard", english, french, -1);
}
QString previousText()
{
    return tr("Previous", "Précédent");
}
QString nextText()
{
    return tr("Next", "Suivant");
}
QString finishText()
{
    return tr("Finish", "Terminer");
}
QString cancelText()
{
    return tr("Cancel", "Annuler");
}
QString pinText()
{
    return tr("Pin", "Épingler");
}
QString pinToolTip()
{
    return tr("Keep the panel shown", "Garder le panneau affiché");
}

const int DESCRIPTION_PIXMAP = 32;
}

WizardInterface::~WizardInterface() = default;

WizardItem::WizardItem(QWidget* parent, const QString& title)
    : QWidget(parent), m_layout(new QVBoxLayout(this)), m_title(title)
{
    setWindowTitle(title);
    m_layout->setContentsMargins(4, 4, 4, 4);
}

WizardItem::~WizardItem() = default;

void WizardItem::setNextEnabled(bool enabled)
{
    if (m_nextEnabled == enabled)
        return;
    m_nextEnabled = enabled;
    emit nextEnabledChanged(enabled);
}

QBoxLayout* WizardItem::boxLayout() const
{
    return m_layout;
}

AbstractWizard::AbstractWizard() = default;
AbstractWizard::~AbstractWizard() = default;

void AbstractWizard::addPage(WizardItem* page)
{
    if (!page || pages().contains(page))
        return;
    m_pages.append(page);
    if (m_currentPage < 0)
        m_currentPage = 0;
}

void AbstractWizard::setPinState(bool pinned)
{
    m_pinned = pinned;
}

void AbstractWizard::setModuleDescription(const QPixmap& pixmap, const QString& text)
{
    m_descriptionPixmap = pixmap;
    m_descriptionText = text;
}

void AbstractWizard::addGenericActions(bool, bool)
{
}

QList<WizardItem*> AbstractWizard::pages() const
{
    QList<WizardItem*> list;
    for (const QPointer<WizardItem>& page : m_pages) {
        if (page)
            list.append(page);
    }
    return list;
}

void AbstractWizard::setCurrentPageIndex(int index)
{
    if (index >= 0 && index < pages().size())
        m_currentPage = index;
}

ChildWizard::ChildWizard(const QString& title, QObject* parent) : QObject(parent), m_title(title)
{
}

ChildWizard::~ChildWizard() = default;

void ChildWizard::linkToRunningWizard(WizardInterface* wizard)
{
    m_wizard = wizard;
}

bool ChildWizard::next(WizardItem*)
{
    return true;
}

int ChildWizard::getIdForHelp(WizardItem*) const
{
    return 0;
}

RibbonWizard::RibbonWizard(const QString& title, QWidget* parent)
    : KXRibbonModuleBar(parent),
      m_captionLabel(new QLabel),
      m_previousButton(nullptr),
      m_nextButton(nullptr),
      m_panel(new QWidget),
      m_descriptionPixmapLabel(new QLabel),
      m_descriptionTextLabel(new QLabel),
      m_pinButton(new QToolButton),
      m_pageStack(new QStackedWidget),
      m_footerLayout(new QHBoxLayout)
{
    setWindowTitle(title);
    m_previousButton = m_moduleGroup->addButton(previousText(), style()->standardIcon(QStyle::SP_ArrowBack),
                                                KXRibbonGroup::LargeButton);
    m_previousButton->setObjectName(QStringLiteral("previousButton"));
    connect(m_previousButton, &QToolButton::clicked, this, &RibbonWizard::showPreviousPage);
    m_nextButton = m_moduleGroup->addButton(nextText(), style()->standardIcon(QStyle::SP_ArrowForward),
                                            KXRibbonGroup::LargeButton);
    m_nextButton->setObjectName(QStringLiteral("nextButton"));
    connect(m_nextButton, &QToolButton::clicked, this, &RibbonWizard::showNextPage);

    m_panel->setObjectName(QStringLiteral("wizardPanel"));
    m_panel->setWindowTitle(title);
    auto* panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(4, 4, 4, 4);

    auto* header = new QHBoxLayout;
    m_descriptionPixmapLabel->setFixedSize(DESCRIPTION_PIXMAP, DESCRIPTION_PIXMAP);
    header->addWidget(m_descriptionPixmapLabel);
    m_descriptionTextLabel->setObjectName(QStringLiteral("descriptionText"));
    QFont headerFont = m_descriptionTextLabel->font();
    headerFont.setBold(true);
    headerFont.setPointSizeF(headerFont.pointSizeF() * 1.2);
    m_descriptionTextLabel->setFont(headerFont);
    header->addWidget(m_descriptionTextLabel, 1);
    m_pinButton->setObjectName(QStringLiteral("pinButton"));
    m_pinButton->setCheckable(true);
    m_pinButton->setAutoRaise(true);
    m_pinButton->setText(pinText());
    m_pinButton->setToolTip(pinToolTip());
    connect(m_pinButton, &QToolButton::toggled, this, [this](bool pinned) { AbstractWizard::setPinState(pinned); });
    header->addWidget(m_pinButton);
    panelLayout->addLayout(header);

    m_captionLabel->setObjectName(QStringLiteral("captionLabel"));
    m_captionLabel->setStyleSheet(QStringLiteral(
        "QLabel {background-color: rgb(203, 218, 241); color: rgb(32, 74, 135); font-weight: bold; padding: 3px}"));
    panelLayout->addWidget(m_captionLabel);
    panelLayout->addWidget(m_pageStack, 1);
    m_footerLayout->addStretch(1);
    panelLayout->addLayout(m_footerLayout);
    updateNavigation();
}

RibbonWizard::~RibbonWizard()
{
    // The main window may have placed the panel in one of its own widgets and deleted it since.
    delete m_panel.data();
}

void RibbonWizard::createActionGroup(const QMap<int, QAction*>& actions)
{
    for (auto it = actions.constBegin(); it != actions.constEnd(); ++it) {
        QAction* action = it.value();
        if (!action)
            continue;
        QToolButton* button = m_moduleGroup->addButton(action->text(), action->icon(), KXRibbonGroup::LargeButton);
        button->setDefaultAction(action);
        const int actionId = it.key();
        connect(action, &QAction::triggered, this, [this, actionId] { notifyActionTriggered(actionId); });
    }
}

void RibbonWizard::addPage(WizardItem* page)
{
    if (!page || pages().contains(page))
        return;
    AbstractWizard::addPage(page);
    m_pageStack->addWidget(page);
    m_pageStack->setCurrentIndex(currentPageIndex());
    updateNavigation();
}

void RibbonWizard::setPinState(bool pinned)
{
    AbstractWizard::setPinState(pinned);
    m_pinButton->setChecked(pinned);
}

void RibbonWizard::setModuleDescription(const QPixmap& pixmap, const QString& text)
{
    AbstractWizard::setModuleDescription(pixmap, text);
    m_descriptionPixmapLabel->setPixmap(
        pixmap.scaled(DESCRIPTION_PIXMAP, DESCRIPTION_PIXMAP, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_descriptionTextLabel->setText(text);
}

void RibbonWizard::addGenericActions(bool withFinish, bool withCancel)
{
    AbstractWizard::addGenericActions(withFinish, withCancel);
    if (withFinish) {
        auto* finish = new QPushButton(finishText(), m_panel);
        connect(finish, &QPushButton::clicked, this, &RibbonWizard::finishClicked);
        m_footerLayout->addWidget(finish);
    }
    if (withCancel) {
        auto* cancel = new QPushButton(cancelText(), m_panel);
        connect(cancel, &QPushButton::clicked, this, &RibbonWizard::cancelClicked);
        m_footerLayout->addWidget(cancel);
    }
}

void RibbonWizard::showPreviousPage()
{
    setCurrentPageIndex(currentPageIndex() - 1);
    m_pageStack->setCurrentIndex(currentPageIndex());
    updateNavigation();
}

void RibbonWizard::showNextPage()
{
    const QList<WizardItem*> all = pages();
    const int current = currentPageIndex();
    if (current < 0 || current >= all.size() || !all.at(current)->isNextEnabled())
        return;
    setCurrentPageIndex(current + 1);
    m_pageStack->setCurrentIndex(currentPageIndex());
    updateNavigation();
}

void RibbonWizard::updateNavigation()
{
    const int count = pages().size();
    if (m_previousButton)
        m_previousButton->setEnabled(currentPageIndex() > 0);
    if (m_nextButton)
        m_nextButton->setEnabled(currentPageIndex() + 1 < count);
}

}
