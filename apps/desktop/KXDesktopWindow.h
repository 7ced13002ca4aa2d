#pragma once

#include "KXDatasetReader.h"
#include "MainWindowInterface.h"
#include "TDataEditor2Ctrl.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QSettings;
class QStackedWidget;
class KXDataEditorView;
class KXDataModelDataset;
class KXDataModelGeneric;
class KXDatasetReading;
class QAbstractItemModel;
class QProgressBar;
class QPushButton;
class QTimer;
class KXEquationCtrl;
class KXMessageLog;
class KXObject2Dataset;
class KXProjectPanel;
class KXRibbon;
class KXRibbonBar;

/// The desktop host: a ribbon, the project's datasets, the data editor, the running modules'
/// panels and the message log. It is the modules' main window and workspace.
class KXDesktopWindow final : public QMainWindow,
                               public MainWindowInterface,
                               public WorkspaceInterface,
                               public KXDatasetReader
{
    Q_OBJECT
public:
    /// Settings (layout, recent projects) go to settingsFile, or to the user's settings when empty.
    explicit KXDesktopWindow(const QString& settingsFile = QString());
    ~KXDesktopWindow() override;

    /// Puts the window and its panels back as they were at the last close; false the first time.
    bool restoreLayout();
    /// The project opened last, if it still exists.
    QString lastProject() const;
    /// Opens a project folder and lists its datasets; false, with a message, when it does not exist.
    /// Asks first when computed tables are not saved in the project being closed.
    bool openProject(const QString& folder);
    /// Selects the project dataset "dataset.subdataset"; false when there is none.
    bool selectDataset(const QString& name);
    /// Starts an equation module on the selected dataset (or on none); returns it. The dataset is
    /// read on a worker thread: ready is called once it is the module's Input1 (at once without
    /// a dataset), and not at all when the reading fails or is cancelled.
    KXEquationCtrl* newEquation(const std::function<void(KXEquationCtrl*)>& ready = {});

    void activateModuleBar(KXRibbonBar* bar, int panels) override;
    void deactivateModuleBar(KXRibbonBar* bar) override;
    /// A page asks about its own unsaved work before it asks to close: nothing more is asked.
    bool closeModule(TModuleCtrl* module) override;
    /// The module's readings (a dataset dropped on a page, those an equation file names): on
    /// workers, with the progress and Cancel of the window's other readings.
    void read(const QList<const KXObject2Dataset*>& datasets, QObject* owner, const Done& done) override;

public slots:
    void chooseProject();
    /// Saves the current tab's computed table into the project under a name the user gives; true once saved.
    bool saveTableToProject();
    /// Ctrl+S: the equation when a module's page is in front and has the focus or the data editor
    /// has not, otherwise the current table.
    void saveCurrentPage();
    /// Shows every report of the host: in the log, and errors in a message box as well unless box is false.
    void report(bool error, const QString& text, bool box = true);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createActions();
    KXRibbonBar* createHomeBar();
    void showPendingErrors();
    void closeModules();
    /// Asks Save, Discard or Cancel for each module with unsaved work, then for the computed
    /// tables not saved in the project; true when closing may go on.
    bool confirmCloseAll();
    /// The same for the table of one tab; true when the tab may close.
    bool confirmCloseTab(int index);
    /// The running module whose page is in front; null when none is.
    KXEquationCtrl* currentModule() const;
    void showDataset(const KXObject2Dataset* dataset);
    /// Reads a stored dataset on a worker thread, with its progress and Cancel in the status bar;
    /// done gets the table (the caller then owns it) unless the reading failed or was cancelled.
    /// The reading is a child of owner: deleting owner stops it.
    void readDataset(const KXObject2Dataset& dataset, QObject* owner,
                     const std::function<void(KXDataModelDataset*)>& done);
    /// What readDataset and read share: the reading, shown in the status bar; finished gets it
    /// once it has ended, unless owner went first.
    void startReading(const KXObject2Dataset& dataset, QObject* owner,
                      const std::function<void(KXDatasetReading*)>& finished);
    void showReadingProgress();
    /// A table whose tab was closed: freed when nothing else shows or uses it.
    void releaseTable(QAbstractItemModel* table);
    void fillRecentProjects();
    void fitDocks();
    /// Enables the actions that can apply now: saving a table needs a computed table and a project.
    void updateActions();
    /// What the module panel says while no module's page is in front.
    QString noPageText() const;

    std::unique_ptr<QSettings> m_settings;
    ModuleLauncherInterface m_launcher;
    KXRibbon* m_ribbon;
    KXDataEditorView* m_dataEditor;
    KXProjectPanel* m_projectPanel;
    KXMessageLog* m_messageLog;
    QDockWidget* m_projectDock;
    QDockWidget* m_moduleDock;
    QStackedWidget* m_modulePanels;
    QLabel* m_noModuleLabel;
    QMenu* m_recentMenu = nullptr;
    QAction* m_openProjectAction = nullptr;
    QAction* m_newEquationAction = nullptr;
    QAction* m_saveTableAction = nullptr;
    std::unique_ptr<KXRibbonBar> m_homeBar;
    QList<QPointer<QObject>> m_modules;
    QList<QPointer<KXDatasetReading>> m_readings;
    QProgressBar* m_readingProgress;
    QPushButton* m_readingCancel;
    QTimer* m_readingTimer;
    QStringList m_pendingErrors;
};
