#pragma once

#include "KXHostGlobal.h"

#include "KXModuleCtrl.h"

#include <QGroupBox>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QTabWidget>
#include <QWidget>

class QBoxLayout;
class QHBoxLayout;
class QIcon;
class QKeySequence;
class QToolButton;

/// Something the user can ask help about.
class KXHOSTUI_EXPORT HelpInterface
{
public:
    virtual ~HelpInterface();
    /// The id of the help page; 0 when there is none.
    virtual int getIdForHelp() const;
};

/// A titled group of tool buttons in a ribbon bar.
class KXHOSTUI_EXPORT KXRibbonGroup : public QGroupBox
{
    Q_OBJECT
public:
    /// Button styles: a large icon with the text below it, or a small icon with the text beside it.
    enum ButtonStyle { LargeButton = 0, SmallButton = 1 };

    explicit KXRibbonGroup(const QString& title, QWidget* parent = nullptr);
    ~KXRibbonGroup() override;

    /// A new button at position in the group's layout (a negative position appends); the group owns it.
    QToolButton* insertButton(const QString& text, const QIcon& icon, int position, int style);
    QToolButton* addButton(const QString& text, const QIcon& icon, int style);
    /// "Save (Ctrl+S)": a button's text without its ellipsis, and the keys that do the same.
    static QString shortcutToolTip(const QString& text, const QKeySequence& keys);
    /// Keys that click the button while it is in sight, or only while focusScope holds the
    /// focus; the button's tooltip names them.
    static void setShortcut(QToolButton* button, const QKeySequence& keys, QWidget* focusScope = nullptr);
    /// The row in which the group's widgets sit.
    QBoxLayout* layout() const;

private:
    QHBoxLayout* m_layout;
};

/// A bar of ribbon groups with a close button.
class KXHOSTUI_EXPORT KXRibbonBar : public QWidget, public HelpInterface
{
    Q_OBJECT
public:
    explicit KXRibbonBar(QWidget* parent = nullptr);
    ~KXRibbonBar() override;

    /// Appends the group to the bar, which owns it from then on.
    void addGroup(KXRibbonGroup* group);
    QList<KXRibbonGroup*> groups() const;
    QPixmap pixmap() const { return m_pixmap; }
    /// Shows or hides the close button; a ribbon hides it for bars the user may not close.
    void setCloseButtonVisible(bool visible);

    /// The user asked to close the bar.
    virtual void closeRequested();

protected:
    QPixmap m_pixmap;

private:
    QHBoxLayout* m_groupLayout;
    QToolButton* m_closeButton;
};

/// The bar of a running module: its first group is the module's own, and the module's
/// controller observes it.
class KXHOSTUI_EXPORT KXRibbonModuleBar : public KXRibbonBar, public ModuleEditorAbstract
{
    Q_OBJECT
public:
    explicit KXRibbonModuleBar(QWidget* parent = nullptr);
    ~KXRibbonModuleBar() override;

    /// Whether the ribbon last reported this bar as its current one.
    bool isCurrentBar() const { return m_current; }

public slots:
    /// The ribbon's current bar is now bar (null when it shows none).
    virtual void slotCurrentBarHasChanged(KXRibbonBar* bar);

protected:
    void showEvent(QShowEvent* event) override;

    /// The module's own group, first in the bar.
    KXRibbonGroup* m_moduleGroup;

private:
    bool m_current = false;
};

/// The host's ribbon: the bars of the running modules, one of them current. Replaceable, so that
/// tests and programs choose the instance; the built-in one keeps the bars without showing them.
class KXHOSTUI_EXPORT RibbonInterface
{
public:
    virtual ~RibbonInterface();

    static RibbonInterface* returnMe();
    /// Makes instance the one returnMe gives (null restores the built-in one); the caller keeps ownership.
    static void setInstance(RibbonInterface* instance);

    /// Registers bar. A visible bar is shown at once (and becomes current when no bar is); a bar
    /// that is not closable has no close button. The caller keeps ownership.
    virtual void addRibbonBar(KXRibbonBar* bar, bool visible, bool closable);
    /// Unregisters bar before its owner deletes it; the bar itself is told nothing more.
    virtual void removeRibbonBar(KXRibbonBar* bar);
    /// Brings a registered bar to the front.
    virtual void setCurrentRibbonBar(KXRibbonBar* bar);

    QList<KXRibbonBar*> ribbonBars() const;
    KXRibbonBar* currentRibbonBar() const { return m_current; }

protected:
    bool isRegistered(const KXRibbonBar* bar) const;
    /// Forgets bar without telling anyone; false when it was not registered.
    bool unregisterBar(KXRibbonBar* bar);
    /// Records bar as current and, when that is a change, tells every registered module bar.
    void changeCurrentBar(KXRibbonBar* bar);

private:
    QList<QPointer<KXRibbonBar>> m_bars;
    QPointer<KXRibbonBar> m_current;
};

/// The ribbon of a desktop window: one tab per visible bar, scrolled when it is too wide.
class KXHOSTUI_EXPORT KXRibbon final : public QTabWidget, public RibbonInterface
{
    Q_OBJECT
public:
    explicit KXRibbon(QWidget* parent = nullptr);
    ~KXRibbon() override;

    void addRibbonBar(KXRibbonBar* bar, bool visible, bool closable) override;
    void removeRibbonBar(KXRibbonBar* bar) override;
    void setCurrentRibbonBar(KXRibbonBar* bar) override;

private:
    KXRibbonBar* barAt(int index) const;
    int tabOf(const KXRibbonBar* bar) const;
    void addTabFor(KXRibbonBar* bar);
    void removeTabOf(KXRibbonBar* bar);
    void slotTabChanged(int index);
};
