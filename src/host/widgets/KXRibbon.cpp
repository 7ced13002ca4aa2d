#include "KXRibbon.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>

#include <atomic>

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

QString KXRibbonGroup::shortcutToolTip(const QString& text, const QKeySequence& keys)
{
    QString name = text;
    name.remove(QLatin1Char('&'));
    if (name.endsWith(QLatin1String("...")))
        name.chop(3);
    return QStringLiteral("%1 (%2)").arg(name, keys.toString(QKeySequence::NativeText));
}

void KXRibbonGroup::setShortcut(QToolButton* button, const QKeySequence& keys, QWidget* focusScope)
{
    if (!button)
        return;
    button->setToolTip(shortcutToolTip(button->text(), keys));
    if (!focusScope) {
        // A button's own shortcut works while the button is visible: only the bar in front answers.
        button->setShortcut(keys);
        return;
    }
    auto* shortcut = new QShortcut(keys, focusScope, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, button, &QToolButton::click);
}

QBoxLayout* KXRibbonGroup::layout() const
{
    return m_layout;
}

KXRibbonBar::KXRibbonBar(QWidget* parent)
    : QWidget(parent), m_groupLayout(new QHBoxLayout), m_closeButton(new QToolButton(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(m_groupLayout);
    layout->addStretch(1);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setAutoRaise(true);
    m_closeButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_closeButton->setText(tr("Close", "Fermer"));
    KXRibbonGroup::setShortcut(m_closeButton, QKeySequence(Qt::CTRL | Qt::Key_W));
    layout->addWidget(m_closeButton, 0, Qt::AlignTop);
    // Queued: closing may delete the bar, and with it the button still handling its click.
    connect(m_closeButton, &QToolButton::clicked, this, [this] { closeRequested(); }, Qt::QueuedConnection);
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

void KXRibbonBar::setCloseButtonVisible(bool visible)
{
    m_closeButton->setVisible(visible);
}

void KXRibbonBar::closeRequested()
{
}

KXRibbonModuleBar::KXRibbonModuleBar(QWidget* parent)
    : KXRibbonBar(parent),
      m_moduleGroup(new KXRibbonGroup(QCoreApplication::translate("KXRibbonModuleBar", "Module", "Module", -1)))
{
    m_moduleGroup->setObjectName(QStringLiteral("moduleGroup"));
    addGroup(m_moduleGroup);
}

KXRibbonModuleBar::~KXRibbonModuleBar() = default;

void KXRibbonModuleBar::slotCurrentBarHasChanged(KXRibbonBar* bar)
{
    m_current = bar == this;
}

void KXRibbonModuleBar::showEvent(QShowEvent* event)
{
    // A module that took every widget out of its group shows no empty frame.
    m_moduleGroup->setVisible(m_moduleGroup->layout()->count() > 0);
    KXRibbonBar::showEvent(event);
}

namespace {
std::atomic<RibbonInterface*> ribbonReplacement{nullptr};
}

RibbonInterface::~RibbonInterface() = default;

RibbonInterface* RibbonInterface::returnMe()
{
    static RibbonInterface builtIn;
    RibbonInterface* instance = ribbonReplacement.load();
    return instance ? instance : &builtIn;
}

void RibbonInterface::setInstance(RibbonInterface* instance)
{
    ribbonReplacement.store(instance);
}

void RibbonInterface::addRibbonBar(KXRibbonBar* bar, bool visible, bool closable)
{
    if (!bar || isRegistered(bar))
        return;
    m_bars.append(bar);
    bar->setCloseButtonVisible(closable);
    if (visible && !m_current)
        changeCurrentBar(bar);
}

void RibbonInterface::removeRibbonBar(KXRibbonBar* bar)
{
    if (!unregisterBar(bar))
        return;
    if (!m_current) {
        const QList<KXRibbonBar*> remaining = ribbonBars();
        changeCurrentBar(remaining.isEmpty() ? nullptr : remaining.last());
    }
}

void RibbonInterface::setCurrentRibbonBar(KXRibbonBar* bar)
{
    if (bar && !isRegistered(bar))
        return;
    changeCurrentBar(bar);
}

QList<KXRibbonBar*> RibbonInterface::ribbonBars() const
{
    QList<KXRibbonBar*> bars;
    for (const QPointer<KXRibbonBar>& bar : m_bars) {
        if (bar)
            bars.append(bar);
    }
    return bars;
}

bool RibbonInterface::isRegistered(const KXRibbonBar* bar) const
{
    return bar && ribbonBars().contains(const_cast<KXRibbonBar*>(bar));
}

bool RibbonInterface::unregisterBar(KXRibbonBar* bar)
{
    if (!isRegistered(bar))
        return false;
    m_bars.removeAll(QPointer<KXRibbonBar>(bar));
    // Silently: a bar on its way out is told nothing more.
    if (m_current == bar)
        m_current = nullptr;
    return true;
}

void RibbonInterface::changeCurrentBar(KXRibbonBar* bar)
{
    if (m_current == bar)
        return;
    m_current = bar;
    const QList<KXRibbonBar*> bars = ribbonBars();
    for (KXRibbonBar* registered : bars) {
        if (auto* moduleBar = qobject_cast<KXRibbonModuleBar*>(registered))
            moduleBar->slotCurrentBarHasChanged(bar);
    }
}

KXRibbon::KXRibbon(QWidget* parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("ribbon"));
    setDocumentMode(true);
    setIconSize(QSize(16, 16));
    connect(this, &QTabWidget::currentChanged, this, &KXRibbon::slotTabChanged);
}

KXRibbon::~KXRibbon()
{
    // The bars belong to their modules, not to the tabs.
    disconnect(this, &QTabWidget::currentChanged, this, &KXRibbon::slotTabChanged);
    const QList<KXRibbonBar*> bars = ribbonBars();
    for (KXRibbonBar* bar : bars)
        removeTabOf(bar);
}

void KXRibbon::addRibbonBar(KXRibbonBar* bar, bool visible, bool closable)
{
    if (!bar || isRegistered(bar))
        return;
    RibbonInterface::addRibbonBar(bar, false, closable);
    // The first tab becomes current by itself and reports it through currentChanged.
    if (visible)
        addTabFor(bar);
}

void KXRibbon::removeRibbonBar(KXRibbonBar* bar)
{
    if (!unregisterBar(bar))
        return;
    removeTabOf(bar);
    slotTabChanged(currentIndex());
}

void KXRibbon::setCurrentRibbonBar(KXRibbonBar* bar)
{
    if (!isRegistered(bar))
        return;
    if (tabOf(bar) < 0)
        addTabFor(bar);
    setCurrentIndex(tabOf(bar));
}

KXRibbonBar* KXRibbon::barAt(int index) const
{
    auto* area = qobject_cast<QScrollArea*>(widget(index));
    return area ? qobject_cast<KXRibbonBar*>(area->widget()) : nullptr;
}

int KXRibbon::tabOf(const KXRibbonBar* bar) const
{
    for (int index = 0; index < count(); ++index) {
        if (bar && barAt(index) == bar)
            return index;
    }
    return -1;
}

void KXRibbon::addTabFor(KXRibbonBar* bar)
{
    // A bar wider than the window scrolls instead of widening the window.
    auto* area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidget(bar);
    area->setMinimumHeight(bar->sizeHint().height() + area->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    addTab(area, QIcon(bar->pixmap()), bar->windowTitle());
}

void KXRibbon::removeTabOf(KXRibbonBar* bar)
{
    const int index = tabOf(bar);
    if (index < 0)
        return;
    auto* area = static_cast<QScrollArea*>(widget(index));
    removeTab(index);
    area->takeWidget();
    delete area;
}

void KXRibbon::slotTabChanged(int index)
{
    changeCurrentBar(barAt(index));
}
