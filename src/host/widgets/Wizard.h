#pragma once

#include "KXHostGlobal.h"
#include "KXRibbon.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

class QAction;
class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace VRN::Kestrix::Wizard {

class WizardItem;

/// The running wizard that shows a module's pages.
class KXHOSTUI_EXPORT WizardInterface
{
public:
    virtual ~WizardInterface();

    /// Shows page as the wizard's next page; the wizard owns it from then on.
    virtual void addPage(WizardItem* page) = 0;
    /// A pinned wizard stays shown while its module bar is current, even when told to step back.
    virtual void setPinState(bool pinned) = 0;
    /// The picture and sentence that head the wizard.
    virtual void setModuleDescription(const QPixmap& pixmap, const QString& text) = 0;
    /// Adds the host's "Finish" and "Cancel" buttons below the pages, each when asked for.
    virtual void addGenericActions(bool withFinish, bool withCancel) = 0;
};

/// One page of a wizard: a titled widget whose boxes sit in one vertical layout.
class KXHOSTUI_EXPORT WizardItem : public QWidget
{
    Q_OBJECT
public:
    WizardItem(QWidget* parent, const QString& title);
    ~WizardItem() override;

    QString title() const { return m_title; }
    /// Whether the wizard may offer to move past this page.
    void setNextEnabled(bool enabled);
    bool isNextEnabled() const { return m_nextEnabled; }
    /// The layout that holds the page's boxes, top to bottom.
    QBoxLayout* boxLayout() const;

signals:
    void nextEnabledChanged(bool enabled);

protected:
    QVBoxLayout* m_layout;

private:
    QString m_title;
    bool m_nextEnabled = false;
};

/// What every wizard keeps: its pages, the current one, its pin state and description.
class KXHOSTUI_EXPORT AbstractWizard : public WizardInterface
{
public:
    AbstractWizard();
    ~AbstractWizard() override;

    void addPage(WizardItem* page) override;
    void setPinState(bool pinned) override;
    void setModuleDescription(const QPixmap& pixmap, const QString& text) override;
    void addGenericActions(bool withFinish, bool withCancel) override;

    QList<WizardItem*> pages() const;
    int currentPageIndex() const { return m_currentPage; }
    bool isPinned() const { return m_pinned; }
    QPixmap descriptionPixmap() const { return m_descriptionPixmap; }
    QString descriptionText() const { return m_descriptionText; }

protected:
    void setCurrentPageIndex(int index);

private:
    QList<QPointer<WizardItem>> m_pages;
    int m_currentPage = -1;
    bool m_pinned = false;
    QPixmap m_descriptionPixmap;
    QString m_descriptionText;
};

/// The object behind a wizard's pages: builds them and links them to the running wizard.
class KXHOSTUI_EXPORT ChildWizard : public QObject
{
    Q_OBJECT
public:
    explicit ChildWizard(const QString& title, QObject* parent = nullptr);
    ~ChildWizard() override;

    QString title() const { return m_title; }
    /// Puts the pages into the running wizard; the base remembers the wizard.
    virtual void linkToRunningWizard(WizardInterface* wizard);
    /// Whether the wizard may move past page; the base allows it.
    virtual bool next(WizardItem* page);
    /// The help page of page; 0 when there is none.
    virtual int getIdForHelp(WizardItem* page) const;

    /// Whether the pages run as one step of a workflow execution rather than on their own.
    bool isWorkflowExecChildWizard() const { return m_workflowExec; }
    void setWorkflowExecChildWizard(bool workflowExec) { m_workflowExec = workflowExec; }
    WizardInterface* runningWizard() const { return m_wizard; }

protected:
    WizardInterface* m_wizard = nullptr;

private:
    QString m_title;
    bool m_workflowExec = false;
};

/// A module bar that is also a wizard: its pages are shown in a panel that the main window places
/// beside the data; the bar's module group holds the page navigation buttons.
class KXHOSTUI_EXPORT RibbonWizard : public KXRibbonModuleBar, public AbstractWizard
{
    Q_OBJECT
public:
    explicit RibbonWizard(const QString& title, QWidget* parent = nullptr);
    ~RibbonWizard() override;

    QString title() const { return windowTitle(); }
    /// One button per host action of the module, in the module group; the actions stay the caller's.
    void createActionGroup(const QMap<int, QAction*>& actions);

    void addPage(WizardItem* page) override;
    void setPinState(bool pinned) override;
    void setModuleDescription(const QPixmap& pixmap, const QString& text) override;
    void addGenericActions(bool withFinish, bool withCancel) override;

    /// The panel with the description, the caption and the pages; the bar deletes it.
    QWidget* wizardWidget() const { return m_panel.data(); }

signals:
    void finishClicked();
    void cancelClicked();

public slots:
    void showPreviousPage();
    void showNextPage();

protected:
    /// The caption above the pages.
    QLabel* m_captionLabel;
    /// The page navigation buttons in the module group; a one-page module may remove them.
    QToolButton* m_previousButton;
    QToolButton* m_nextButton;

private:
    void updateNavigation();

    QPointer<QWidget> m_panel;
    QLabel* m_descriptionPixmapLabel;
    QLabel* m_descriptionTextLabel;
    QToolButton* m_pinButton;
    QStackedWidget* m_pageStack;
    QHBoxLayout* m_footerLayout;
};

}
