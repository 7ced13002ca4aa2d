#include "KXRibbon.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QStyle>
#include <QToolButton>

namespace {
const int LARGE_ICON = 32;
const int SMALL_ICON = 16;
}

HelpInterface::~HelpInterface() = default;

int HelpInterface::getIdForHelp() const
{
    return 0;
}

KXRibbonGroup::KXRibbonGroup(const QString& title, QWidget* parent)
    : QGroupBox(title, parent), m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(2, 2, 2, 2);
    m_layout->setSpacing(2);
    setAlignment(Qt::AlignHCenter);
}

KXRibbonGroup::~KXRibbonGroup() = default;

QToolButton* KXRibbonGroup::insertButton(const QString& text, const QIcon& icon, int position, int style)
{
    auto* button = new QToolButton(this);
    button->setText(text);
    button->setIcon(icon);
    button->setAutoRaise(true);
    if (style == SmallButton) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(SMALL_ICON, SMALL_ICON));
    } else {
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(LARGE_ICON, LARGE_ICON));
    }
    m_layout->insertWidget(position < 0 ? -1 : position, button);
    return button;
}

QToolButton* KXRibbonGroup::addButton(const QString& text, const QIcon& icon, int style)
{
    return insertButton(text, icon, -1, style);
}

QBoxLayout* KXRibbonGroup::layout() const
{
    return m_layout;
}

KXRibbonBar::KXRibbonBar(QWidget* parent) : QWidget(parent), m_groupLayout(new QHBoxLayout)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(m_groupLayout);
    layout->addStretch(1);
    auto* closeButton = new QToolButton(this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setAutoRaise(true);
    closeButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    layout->addWidget(closeButton, 0, Qt::AlignTop);
    // Queued: closing may delete the bar, and with it the button still handling its click.
    connect(closeButton, &QToolButton::clicked, this, [this] { closeRequested(); }, Qt::QueuedConnection);
}

KXRibbonBar::~KXRibbonBar() = default;

void KXRibbonBar::addGroup(KXRibbonGroup* group)
{
    if (!group)
        return;
    m_groupLayout->addWidget(group);
}

QList<KXRibbonGroup*> KXRibbonBar::groups() const
{
    QList<KXRibbonGroup*> list;
    for (int index = 0; index < m_groupLayout->count(); ++index) {
        if (auto* group = qobject_cast<KXRibbonGroup*>(m_groupLayout->itemAt(index)->widget()))
            list.append(group);
    }
    return list;
}

void KXRibbonBar::closeRequested()
{
}
