#pragma once

#include "KXHostGlobal.h"

#include <QGroupBox>
#include <QList>
#include <QPixmap>
#include <QWidget>

class QBoxLayout;
class QHBoxLayout;
class QIcon;
class QToolButton;

/// Something the user can ask help about.
class KXHOST_EXPORT HelpInterface
{
public:
    virtual ~HelpInterface();
    /// The id of the help page; 0 when there is none.
    virtual int getIdForHelp() const;
};

/// A titled group of tool buttons in a ribbon bar.
class KXHOST_EXPORT KXRibbonGroup : public QGroupBox
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
    /// The row in which the group's widgets sit.
    QBoxLayout* layout() const;

private:
    QHBoxLayout* m_layout;
};

/// A bar of ribbon groups with a close button.
class KXHOST_EXPORT KXRibbonBar : public QWidget, public HelpInterface
{
    Q_OBJECT
public:
    explicit KXRibbonBar(QWidget* parent = nullptr);
    ~KXRibbonBar() override;

    /// Appends the group to the bar, which owns it from then on.
    void addGroup(KXRibbonGroup* group);
    QList<KXRibbonGroup*> groups() const;
    QPixmap pixmap() const { return m_pixmap; }

    /// The user asked to close the bar.
    virtual void closeRequested();

protected:
    QPixmap m_pixmap;

private:
    QHBoxLayout* m_groupLayout;
};
