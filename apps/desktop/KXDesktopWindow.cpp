#include "KXDesktopWindow.h"

#include "ApplicationInterface.h"
#include "KXDataModel.h"
#include "KXDatasetReading.h"
#include "KXDesktopPanels.h"
#include "KXEquationCtrl.h"
#include "KXError.h"
#include "KXObject2.h"
#include "KXNumberFormat.h"
#include "KXRecentProjects.h"
#include "KXRibbon.h"
#include "LodeDB.h"
#include "TMessageBox.h"
#include "TPixmapCache.h"
#include "Wizard.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVector>

using VRN::Kestrix::Wizard::RibbonWizard;

namespace {
const int PROJECT_PANEL_WIDTH = 150;
const int MINIMUM_PAGE_WIDTH = 400;
// Room for the splitters and the ribbon's frame.
const int DOCK_MARGIN = 24;

// Messages
QString windowTitleText()
{
    return KXDesktopWindow::tr("Equation module", "Module d'équation");
}
QString homeText()
{
    return KXDesktopWindow::tr("Home", "Accueil");
}
QString projectText()
{
    return KXDesktopWindow::tr("Project", "Projet");
}
QString openProjectText()
{
    return KXDesktopWindow::tr("Open project...", "Ouvrir un projet...");
}
QString modulesText()
{
    return KXDesktopWindow::tr("Modules", "Modules");
}
QString newEquationText()
{
    return KXDesktopWindow::tr("New equation", "Nouvelle équation");
}
QString dataText()
{
    return KXDesktopWindow::tr("Data", "Données");
}
QString saveTableText()
{
    return KXDesktopWindow::tr("Save table to project...", "Enregistrer le tableau dans le projet...");
}
QString quitText()
{
    return KXDesktopWindow::tr("Quit", "Quitter");
}
QString fileMenuText()
{
    return KXDesktopWindow::tr("&File", "&Fichier");
}
QString viewMenuText()
{
    return KXDesktopWindow::tr("&View", "&Affichage");
}
QString datasetsTitle()
{
    return KXDesktopWindow::tr("Project datasets", "Tableaux du projet");
}
QString moduleTitle()
{
    return KXDesktopWindow::tr("Module", "Module");
}
QString logTitle()
{
    return KXDesktopWindow::tr("Messages", "Messages");
}
QString noModuleText()
{
    return KXDesktopWindow::tr("No module is running. Select a dataset of the project and choose New equation.",
                               "Aucun module en cours. Choisissez un tableau du projet puis Nouvelle équation.");
}
QString runningModulesText(const QString& titles)
{
    return KXDesktopWindow::tr("Running: %1. A module's tab in the ribbon shows its page.",
                               "En cours : %1. L'onglet d'un module dans le ruban affiche sa page.")
        .arg(titles);
}
QString errorTitle()
{
    return KXDesktopWindow::tr("Error", "Erreur");
}
QString noProjectMessage(const QString& folder)
{
    return KXDesktopWindow::tr("The project folder %1 does not exist.", "Le dossier de projet %1 n'existe pas.")
        .arg(folder);
}
/// French puts 0 and 1 in the singular, English only 1.
bool isSingular(int count)
{
    return count == 1 || (count == 0 && KXNumberFormat::interfaceLocale().language() == QLocale::French);
}
QString datasetCount(int count)
{
    return isSingular(count) ? KXDesktopWindow::tr("%1 dataset", "%1 tableau").arg(count)
                             : KXDesktopWindow::tr("%1 datasets", "%1 tableaux").arg(count);
}
QString rowCount(int count)
{
    return isSingular(count) ? KXDesktopWindow::tr("%1 row", "%1 ligne").arg(count)
                             : KXDesktopWindow::tr("%1 rows", "%1 lignes").arg(count);
}
QString columnCount(int count)
{
    return isSingular(count) ? KXDesktopWindow::tr("%1 column", "%1 colonne").arg(count)
                             : KXDesktopWindow::tr("%1 columns", "%1 colonnes").arg(count);
}
QString projectOpenedMessage(const QString& folder, int count)
{
    return KXDesktopWindow::tr("Project %1 opened: %2.", "Projet %1 ouvert : %2.").arg(folder, datasetCount(count));
}
QString recentProjectsText()
{
    return KXDesktopWindow::tr("Recent projects", "Projets récents");
}
QString noRecentProjectText()
{
    return KXDesktopWindow::tr("(none)", "(aucun)");
}
QString chooseProjectTitle()
{
    return KXDesktopWindow::tr("Open a project folder", "Ouvrir un dossier de projet");
}
QString noTableMessage()
{
    return KXDesktopWindow::tr("There is no table to save.", "Il n'y a aucun tableau à enregistrer.");
}
QString noOpenProjectMessage()
{
    return KXDesktopWindow::tr("Open a project first.", "Ouvrez d'abord un projet.");
}
QString tableNameQuestion()
{
    return KXDesktopWindow::tr("Name of the table in the project (dataset.subdataset):",
                               "Nom du tableau dans le projet (tableau.sous-tableau) :");
}
QString badTableNameMessage(const QString& name)
{
    return KXDesktopWindow::tr("%1 is not a name of the form dataset.subdataset.",
                               "%1 n'est pas un nom de la forme tableau.sous-tableau.")
        .arg(name);
}
QString replaceQuestion(const QString& name)
{
    return KXDesktopWindow::tr("The project already holds %1. Replace it?", "Le projet contient déjà %1. Le remplacer ?")
        .arg(name);
}
QString tableSavedMessage(const QString& name)
{
    return KXDesktopWindow::tr("%1 saved in the project.", "%1 enregistré dans le projet.").arg(name);
}
QString tableShownMessage(const QString& name, int rows, int columns)
{
    return KXDesktopWindow::tr("New table %1: %2, %3.", "Nouveau tableau %1 : %2, %3.")
        .arg(name, rowCount(rows), columnCount(columns));
}
QString unnamedText()
{
    return KXDesktopWindow::tr("(unnamed)", "(sans nom)");
}
QString readingText(const QString& names)
{
    return KXDesktopWindow::tr("Reading %1: %p%", "Lecture de %1 : %p %").arg(names);
}
QString cancelText()
{
    return KXDesktopWindow::tr("Cancel", "Annuler");
}
QString readingCancelledMessage(const QString& name)
{
    return KXDesktopWindow::tr("Reading of %1 cancelled.", "Lecture de %1 annulée.").arg(name);
}
QString unsavedTablesTitle()
{
    return KXDesktopWindow::tr("Unsaved tables", "Tableaux non enregistrés");
}
QString unsavedTablesQuestion(int count)
{
    if (count == 1)
        return KXDesktopWindow::tr("1 computed table is not saved in the project. Save it before closing?",
                                   "1 tableau calculé n'est pas enregistré dans le projet. L'enregistrer avant de "
                                   "fermer ?");
    return KXDesktopWindow::tr("%1 computed tables are not saved in the project. Save them before closing?",
                               "%1 tableaux calculés ne sont pas enregistrés dans le projet. Les enregistrer avant "
                               "de fermer ?")
        .arg(count);
}
QString unsavedTableQuestion(const QString& name)
{
    return KXDesktopWindow::tr("The computed table %1 is not saved in the project. Save it before closing?",
                               "Le tableau calculé %1 n'est pas enregistré dans le projet. L'enregistrer avant de "
                               "fermer ?")
        .arg(name);
}
QString activeModuleMessage(const QString& title)
{
    return KXDesktopWindow::tr("Active module: %1", "Module actif : %1").arg(title);
}

QString tableName(const KXDataModel* table)
{
    QString dataset, subdataset;
    table->getName(dataset, subdataset);
    if (dataset.isEmpty() && subdataset.isEmpty())
        return unnamedText();
    return dataset + QLatin1Char('.') + subdataset;
}

// A ribbon button for a menu action: the same keys, the same enabled state.
void addButton(KXRibbonGroup* group, QAction* action)
{
    action->setToolTip(KXRibbonGroup::shortcutToolTip(action->text(), action->shortcut()));
    group->addButton(action->text(), action->icon(), KXRibbonGroup::LargeButton)->setDefaultAction(action);
}
}

namespace {
const char GeometryKey[] = "window/geometry";
const char StateKey[] = "window/state";
}

KXDesktopWindow::KXDesktopWindow(const QString& settingsFile)
    : m_settings(settingsFile.isEmpty() ? std::make_unique<QSettings>()
                                        : std::make_unique<QSettings>(settingsFile, QSettings::IniFormat)),
      m_ribbon(new KXRibbon),
      m_dataEditor(new KXDataEditorView),
      m_projectPanel(new KXProjectPanel),
      m_messageLog(new KXMessageLog),
      m_projectDock(new QDockWidget(datasetsTitle(), this)),
      m_moduleDock(new QDockWidget(moduleTitle(), this)),
      m_modulePanels(new QStackedWidget),
      m_noModuleLabel(new QLabel(noModuleText())),
      m_readingProgress(new QProgressBar),
      m_readingCancel(new QPushButton(cancelText())),
      m_readingTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("desktopWindow"));
    setWindowTitle(windowTitleText());
    ApplicationInterface::returnMe()->setMainWidget(this);
    MainWindowInterface::setInstance(this);
    WorkspaceInterface::setInstance(this);
    RibbonInterface::setInstance(m_ribbon);
    ModuleLauncherInterface::setInstance(&m_launcher);
    KXDatasetReader::setInstance(this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_ribbon->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    layout->addWidget(m_ribbon);
    layout->addWidget(m_dataEditor, 1);
    setCentralWidget(central);

    QDockWidget* projectDock = m_projectDock;
    // Without a float button the panel's title fits a narrow panel.
    projectDock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    projectDock->setObjectName(QStringLiteral("projectDock"));
    projectDock->setWidget(m_projectPanel);
    m_projectPanel->setMinimumWidth(140);
    addDockWidget(Qt::LeftDockWidgetArea, projectDock);

    m_noModuleLabel->setWordWrap(true);
    m_noModuleLabel->setAlignment(Qt::AlignCenter);
    m_noModuleLabel->setMargin(12);
    m_modulePanels->addWidget(m_noModuleLabel);
    m_moduleDock->setObjectName(QStringLiteral("moduleDock"));
    // A page taller than the window scrolls instead of growing the window.
    auto* moduleScroll = new QScrollArea;
    moduleScroll->setFrameShape(QFrame::NoFrame);
    moduleScroll->setWidgetResizable(true);
    moduleScroll->setWidget(m_modulePanels);
    m_moduleDock->setWidget(moduleScroll);
    addDockWidget(Qt::RightDockWidgetArea, m_moduleDock);

    auto* logDock = new QDockWidget(logTitle(), this);
    logDock->setObjectName(QStringLiteral("logDock"));
    logDock->setWidget(m_messageLog);
    addDockWidget(Qt::BottomDockWidgetArea, logDock);
    // The side panels run down to the bottom: the log sits under the data editor only.
    setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
    setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
    resizeDocks({projectDock, m_moduleDock}, {PROJECT_PANEL_WIDTH, MINIMUM_PAGE_WIDTH}, Qt::Horizontal);
    resizeDocks({logDock}, {110}, Qt::Vertical);

    // The Home bar's buttons are the menu's actions.
    createActions();
    m_homeBar.reset(createHomeBar());
    m_ribbon->addRibbonBar(m_homeBar.get(), true, false);
    QMenu* view = menuBar()->addMenu(viewMenuText());
    view->addAction(projectDock->toggleViewAction());
    view->addAction(m_moduleDock->toggleViewAction());
    view->addAction(logDock->toggleViewAction());

    connect(m_launcher.dataEditor(0), &TDataEditor2Ctrl::modelAdded, this, [this](KXDataModelGeneric* table) {
        m_dataEditor->showTable(table, tableName(table), true);
        report(false, tableShownMessage(tableName(table), table->rowCount(), table->columnCount()));
    });
    connect(m_projectPanel, &KXProjectPanel::datasetActivated, this, &KXDesktopWindow::showDataset);
    connect(m_dataEditor, &KXDataEditorView::tableClosed, this, &KXDesktopWindow::releaseTable);
    connect(m_dataEditor, &QTabWidget::currentChanged, this, &KXDesktopWindow::updateActions);
    updateActions();

    m_readingProgress->setObjectName(QStringLiteral("readingProgress"));
    m_readingProgress->setRange(0, 1000);
    m_readingProgress->setMinimumWidth(260);
    m_readingCancel->setObjectName(QStringLiteral("readingCancel"));
    statusBar()->addPermanentWidget(m_readingProgress);
    statusBar()->addPermanentWidget(m_readingCancel);
    m_readingProgress->hide();
    m_readingCancel->hide();
    connect(m_readingCancel, &QPushButton::clicked, this, [this] {
        for (const QPointer<KXDatasetReading>& reading : m_readings)
            if (reading)
                reading->cancel();
    });
    m_readingTimer->setInterval(100);
    connect(m_readingTimer, &QTimer::timeout, this, &KXDesktopWindow::showReadingProgress);
    m_dataEditor->setCloseCheck([this](int index) { return confirmCloseTab(index); });

    // Reports may come from worker threads: only the GUI thread touches the widgets.
    KXMessageSink::setHandler([this](KXMessageSink::Origin origin, const QString& text) {
        KXMessageSink::printToStandardError(origin, text);
        const bool error = origin != KXMessageSink::Origin::Info;
        // A failure that the page already shows where it happened needs no box.
        const bool box = origin != KXMessageSink::Origin::Located;
        QMetaObject::invokeMethod(this, [this, error, text, box] { report(error, text, box); }, Qt::QueuedConnection);
    });
}

KXDesktopWindow::~KXDesktopWindow()
{
    KXMessageSink::setHandler(KXMessageSink::Handler());
    closeModules();
    m_ribbon->removeRibbonBar(m_homeBar.get());
    KXDatasetReader::setInstance(nullptr);
    ModuleLauncherInterface::setInstance(nullptr);
    RibbonInterface::setInstance(nullptr);
    WorkspaceInterface::setInstance(nullptr);
    MainWindowInterface::setInstance(nullptr);
}

void KXDesktopWindow::createActions()
{
    QMenu* file = menuBar()->addMenu(fileMenuText());
    m_openProjectAction = file->addAction(QIcon(TPixmapCache::find(QStringLiteral("open_generic"))),
                                          openProjectText(), this, &KXDesktopWindow::chooseProject);
    m_openProjectAction->setShortcut(QKeySequence::Open);
    m_newEquationAction = file->addAction(QIcon(TPixmapCache::find(QStringLiteral("stat_32"))), newEquationText(),
                                          this, [this] { newEquation(); });
    m_newEquationAction->setShortcut(QKeySequence::New);
    m_saveTableAction = file->addAction(QIcon(TPixmapCache::find(QStringLiteral("save_generic"))), saveTableText(),
                                        this, &KXDesktopWindow::saveTableToProject);
    // Ctrl+S saves what is in front; these keys always save the table.
    m_saveTableAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    auto* saveShortcut = new QAction(this);
    saveShortcut->setShortcut(QKeySequence::Save);
    connect(saveShortcut, &QAction::triggered, this, &KXDesktopWindow::saveCurrentPage);
    addAction(saveShortcut);
    file->addSeparator();
    m_recentMenu = file->addMenu(recentProjectsText());
    m_recentMenu->setObjectName(QStringLiteral("recentProjectsMenu"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &KXDesktopWindow::fillRecentProjects);
    fillRecentProjects();
    file->addSeparator();
    QAction* quit = file->addAction(quitText(), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);
}

KXRibbonBar* KXDesktopWindow::createHomeBar()
{
    auto* bar = new KXRibbonBar;
    bar->setWindowTitle(homeText());
    auto* project = new KXRibbonGroup(projectText());
    addButton(project, m_openProjectAction);
    bar->addGroup(project);
    auto* modules = new KXRibbonGroup(modulesText());
    addButton(modules, m_newEquationAction);
    bar->addGroup(modules);
    auto* data = new KXRibbonGroup(dataText());
    addButton(data, m_saveTableAction);
    bar->addGroup(data);
    return bar;
}

void KXDesktopWindow::fillRecentProjects()
{
    m_recentMenu->clear();
    const QStringList folders = KXRecentProjects(*m_settings).folders();
    for (const QString& folder : folders)
        m_recentMenu->addAction(QDir::toNativeSeparators(folder), this, [this, folder] { openProject(folder); });
    if (folders.isEmpty())
        m_recentMenu->addAction(noRecentProjectText())->setEnabled(false);
}

bool KXDesktopWindow::restoreLayout()
{
    return restoreGeometry(m_settings->value(QLatin1String(GeometryKey)).toByteArray())
           && restoreState(m_settings->value(QLatin1String(StateKey)).toByteArray());
}

QString KXDesktopWindow::lastProject() const
{
    return KXRecentProjects(*m_settings).folders().value(0);
}

bool KXDesktopWindow::openProject(const QString& folder)
{
    ProjectMgrInterface* projects = ProjectMgrInterface::returnMe();
    if (projects->database() && !TMessageBox::confirmDiscardUnsaved(m_launcher.dataEditor(0)->unsavedCount()))
        return false;
    if (!projects->openProject(folder)) {
        report(true, noProjectMessage(folder));
        return false;
    }
    KXRecentProjects(*m_settings).add(projects->database()->projectDirectory());
    m_projectPanel->showProject(projects->database());
    updateActions();
    report(false, projectOpenedMessage(QDir::toNativeSeparators(projects->database()->projectDirectory()),
                                       m_projectPanel->count()));
    return true;
}

void KXDesktopWindow::chooseProject()
{
    const QString folder = QFileDialog::getExistingDirectory(this, chooseProjectTitle());
    if (!folder.isEmpty())
        openProject(folder);
}

bool KXDesktopWindow::selectDataset(const QString& name)
{
    return m_projectPanel->selectDataset(name);
}

KXEquationCtrl* KXDesktopWindow::newEquation(const std::function<void(KXEquationCtrl*)>& ready)
{
    auto* controller = new KXEquationCtrl;
    m_modules.append(controller);
    controller->initView(nullptr);
    controller->activeRibbon();
    controller->focusFormula();
    const QList<const KXObject2Dataset*> selected = m_projectPanel->selectedDatasets();
    if (selected.isEmpty()) {
        if (ready)
            ready(controller);
        return controller;
    }
    readDataset(*selected.first(), controller, [controller, ready](KXDataModelDataset* table) {
        // The variables point at the table: it goes with the controller, after them.
        table->setParent(controller);
        controller->setCurrentDataModel(table);
        if (ready)
            ready(controller);
    });
    return controller;
}

void KXDesktopWindow::showDataset(const KXObject2Dataset* dataset)
{
    readDataset(*dataset, this, [this](KXDataModelDataset* table) {
        table->setParent(this);
        m_dataEditor->showTable(table, tableName(table));
    });
}

void KXDesktopWindow::readDataset(const KXObject2Dataset& dataset, QObject* owner,
                                  const std::function<void(KXDataModelDataset*)>& done)
{
    startReading(dataset, owner, [this, done](KXDatasetReading* reading) {
        if (KXDataModelDataset* table = reading->takeTable())
            done(table);
        else if (reading->isCancelled())
            report(false, readingCancelledMessage(reading->objectName()));
        else
            report(true, reading->errorString());
    });
}

void KXDesktopWindow::startReading(const KXObject2Dataset& dataset, QObject* owner,
                                   const std::function<void(KXDatasetReading*)>& finished)
{
    auto* reading = new KXDatasetReading(dataset, owner);
    reading->setObjectName(dataset.dataset() + QLatin1Char('.') + dataset.subdataset());
    m_readings.append(reading);
    connect(reading, &KXDatasetReading::finished, this, [this, reading, finished] {
        m_readings.removeAll(reading);
        reading->deleteLater();
        showReadingProgress();
        finished(reading);
    });
    reading->start();
    showReadingProgress();
}

void KXDesktopWindow::read(const QList<const KXObject2Dataset*>& datasets, QObject* owner, const Done& done)
{
    if (datasets.isEmpty()) {
        if (done)
            done({}, false);
        return;
    }
    // One answer for the lot, once every reading has ended; a cancelled one cancels the lot.
    struct Batch
    {
        QVector<KXDataModelDataset*> tables;
        int pending = 0;
        bool cancelled = false;
    };
    auto batch = std::make_shared<Batch>();
    batch->tables.fill(nullptr, datasets.size());
    batch->pending = datasets.size();
    for (int index = 0; index < datasets.size(); ++index) {
        startReading(*datasets.at(index), owner, [this, batch, index, owner, done](KXDatasetReading* reading) {
            // The reading is owner's child: owner is still there.
            if (KXDataModelDataset* table = reading->takeResult()) {
                table->setParent(owner);
                batch->tables[index] = table;
            } else {
                batch->cancelled = true;
                report(false, readingCancelledMessage(reading->objectName()));
            }
            if (--batch->pending > 0)
                return;
            QList<KXDataModelDataset*> tables;
            for (KXDataModelDataset* table : qAsConst(batch->tables)) {
                if (batch->cancelled)
                    disposeTable(table);
                else
                    tables.append(table);
            }
            if (done)
                done(tables, batch->cancelled);
        });
    }
}

void KXDesktopWindow::showReadingProgress()
{
    m_readings.removeAll(nullptr);
    const bool reading = !m_readings.isEmpty();
    m_readingProgress->setVisible(reading);
    m_readingCancel->setVisible(reading);
    if (!reading) {
        m_readingTimer->stop();
        return;
    }
    m_readingTimer->start();
    qint64 done = 0, total = 0;
    QStringList names;
    for (const QPointer<KXDatasetReading>& entry : qAsConst(m_readings)) {
        done += entry->bytesRead();
        total += entry->bytesTotal();
        names.append(entry->objectName());
    }
    m_readingProgress->setValue(total > 0 ? int(qMin(done, total) * 1000 / total) : 0);
    m_readingProgress->setFormat(readingText(names.join(QLatin1String(", "))));
}

void KXDesktopWindow::releaseTable(QAbstractItemModel* table)
{
    auto* generic = qobject_cast<KXDataModelGeneric*>(table);
    if (!generic)
        return;
    TDataEditor2Ctrl* editor = m_launcher.dataEditor(0);
    if (editor->keeps(generic))
        editor->releaseModel(generic);
    else if (generic->QObject::parent() == this)
        disposeTable(generic);
}

bool KXDesktopWindow::saveTableToProject()
{
    auto* table = qobject_cast<KXDataModelGeneric*>(m_dataEditor->currentTable());
    if (!table) {
        report(true, noTableMessage());
        return false;
    }
    LodeDB::TDatabase* database = ProjectMgrInterface::returnMe()->database();
    if (!database) {
        report(true, noOpenProjectMessage());
        return false;
    }
    QString dataset, subdataset;
    table->getName(dataset, subdataset);
    const QString proposal = (dataset.isEmpty() ? QStringLiteral("results") : dataset) + QLatin1Char('.')
                             + (subdataset.isEmpty() ? QStringLiteral("table") : subdataset);
    bool accepted = false;
    const QString name =
        QInputDialog::getText(this, saveTableText(), tableNameQuestion(), QLineEdit::Normal, proposal, &accepted)
            .trimmed();
    if (!accepted)
        return false;
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1) {
        report(true, badTableNameMessage(name));
        return false;
    }
    dataset = name.left(dot);
    subdataset = name.mid(dot + 1);
    if (database->getDataset(dataset, subdataset)
        && TMessageBox::questionOKCancel(saveTableText(), replaceQuestion(name), QString()) != TMessageBox::OK)
        return false;
    QString error;
    if (!database->storeDataset(dataset, subdataset, *table, &error)) {
        report(true, error);
        return false;
    }
    m_launcher.dataEditor(0)->markSaved(table);
    m_projectPanel->showProject(database);
    m_projectPanel->selectDataset(name);
    report(false, tableSavedMessage(name));
    return true;
}

KXEquationCtrl* KXDesktopWindow::currentModule() const
{
    if (!m_moduleDock->isVisible())
        return nullptr;
    for (const QPointer<QObject>& module : m_modules) {
        auto* controller = qobject_cast<KXEquationCtrl*>(module.data());
        if (controller && controller->ribbonBar() == m_ribbon->currentRibbonBar())
            return controller;
    }
    return nullptr;
}

void KXDesktopWindow::saveCurrentPage()
{
    KXEquationCtrl* module = currentModule();
    const QWidget* focus = QApplication::focusWidget();
    if (module && !(focus && m_dataEditor->isAncestorOf(focus)))
        module->saveEquation();
    else
        saveTableToProject();
}

bool KXDesktopWindow::confirmCloseTab(int index)
{
    auto* page = m_dataEditor->widget(index);
    if (!page)
        return true;
    m_dataEditor->setCurrentIndex(index);
    auto* table = qobject_cast<KXDataModelGeneric*>(m_dataEditor->currentTable());
    if (!table || !m_launcher.dataEditor(0)->isUnsaved(table))
        return true;
    const int answer =
        TMessageBox::questionSaveDiscardCancel(unsavedTablesTitle(), unsavedTableQuestion(tableName(table)));
    if (answer == TMessageBox::Save)
        return saveTableToProject();
    return answer == TMessageBox::Discard;
}

bool KXDesktopWindow::confirmCloseAll()
{
    for (const QPointer<QObject>& module : m_modules) {
        auto* controller = qobject_cast<KXEquationCtrl*>(module.data());
        if (controller && !controller->confirmClose())
            return false;
    }
    TDataEditor2Ctrl* editor = m_launcher.dataEditor(0);
    const int unsaved = editor->unsavedCount();
    if (unsaved == 0)
        return true;
    const int answer = TMessageBox::questionSaveDiscardCancel(unsavedTablesTitle(), unsavedTablesQuestion(unsaved));
    if (answer != TMessageBox::Save)
        return answer == TMessageBox::Discard;
    // Each tab whose table is unsaved, in turn; closing waits until every one is saved.
    for (int index = 0; index < m_dataEditor->count(); ++index) {
        m_dataEditor->setCurrentIndex(index);
        const QAbstractItemModel* table = m_dataEditor->currentTable();
        if (editor->isUnsaved(dynamic_cast<const KXDataModel*>(table)) && !saveTableToProject())
            return false;
    }
    return editor->unsavedCount() == 0;
}

bool KXDesktopWindow::closeModule(TModuleCtrl* module)
{
    return module != nullptr;
}

void KXDesktopWindow::activateModuleBar(KXRibbonBar* bar, int panels)
{
    MainWindowInterface::activateModuleBar(bar, panels);
    auto* wizard = dynamic_cast<RibbonWizard*>(bar);
    if ((panels & WizardPanel) && wizard && wizard->wizardWidget()) {
        QWidget* panel = wizard->wizardWidget();
        if (m_modulePanels->indexOf(panel) < 0)
            m_modulePanels->addWidget(panel);
        m_modulePanels->setCurrentWidget(panel);
        m_moduleDock->setWindowTitle(wizard->title());
        m_moduleDock->show();
        // Once the bar is shown without the groups it hides.
        QTimer::singleShot(0, this, &KXDesktopWindow::fitDocks);
    }
    if (panels & DataEditorPanel)
        m_dataEditor->show();
    if (bar)
        statusBar()->showMessage(activeModuleMessage(bar->windowTitle()));
}

void KXDesktopWindow::deactivateModuleBar(KXRibbonBar* bar)
{
    MainWindowInterface::deactivateModuleBar(bar);
    auto* wizard = dynamic_cast<RibbonWizard*>(bar);
    if (!wizard || !wizard->wizardWidget())
        return;
    // A pinned wizard whose bar is still in front stays (the user refused to close it).
    if (wizard->isPinned() && m_ribbon->currentRibbonBar() == bar)
        return;
    QWidget* panel = wizard->wizardWidget();
    if (m_modulePanels->indexOf(panel) >= 0) {
        m_modulePanels->removeWidget(panel);
        // The panel is the wizard's: the window must not delete it.
        panel->setParent(nullptr);
    }
    if (m_modulePanels->currentWidget() == m_noModuleLabel) {
        m_moduleDock->setWindowTitle(moduleTitle());
        m_noModuleLabel->setText(noPageText());
    }
    statusBar()->clearMessage();
}

void KXDesktopWindow::report(bool error, const QString& text, bool box)
{
    if (!error) {
        m_messageLog->addInformation(text);
        return;
    }
    m_messageLog->addError(text);
    if (!box)
        return;
    // Several reports of one failure share one box.
    if (m_pendingErrors.isEmpty())
        QTimer::singleShot(0, this, &KXDesktopWindow::showPendingErrors);
    m_pendingErrors.append(text);
}

void KXDesktopWindow::showPendingErrors()
{
    if (m_pendingErrors.isEmpty())
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, errorTitle(), m_pendingErrors.join(QLatin1Char('\n')),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("errorBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    m_pendingErrors.clear();
}

// The module's page takes what the ribbon leaves beside the project panel: at least its own
// width, at most half of that room, so that the ribbon needs no scrolling and a wide window
// widens the page.
void KXDesktopWindow::fitDocks()
{
    int ribbonWidth = 0;
    const QList<KXRibbonBar*> bars = m_ribbon->ribbonBars();
    for (KXRibbonBar* bar : bars)
        ribbonWidth = qMax(ribbonWidth, bar->sizeHint().width());
    const int room = width() - m_projectDock->width() - DOCK_MARGIN;
    const int page = qBound(MINIMUM_PAGE_WIDTH, room - ribbonWidth, qMax(MINIMUM_PAGE_WIDTH, room / 2));
    resizeDocks({m_moduleDock}, {page}, Qt::Horizontal);
}

void KXDesktopWindow::updateActions()
{
    m_saveTableAction->setEnabled(qobject_cast<KXDataModelGeneric*>(m_dataEditor->currentTable())
                                  && ProjectMgrInterface::returnMe()->database());
}

QString KXDesktopWindow::noPageText() const
{
    // A bar on its way out is no longer registered.
    QStringList running;
    for (KXRibbonBar* bar : m_ribbon->ribbonBars()) {
        if (bar != m_homeBar.get())
            running.append(bar->windowTitle());
    }
    return running.isEmpty() ? noModuleText() : runningModulesText(running.join(QLatin1String(", ")));
}

void KXDesktopWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    fitDocks();
}

void KXDesktopWindow::closeModules()
{
    const QList<QPointer<QObject>> modules = m_modules;
    m_modules.clear();
    for (const QPointer<QObject>& module : modules)
        delete module.data();
}

void KXDesktopWindow::closeEvent(QCloseEvent* event)
{
    if (!confirmCloseAll()) {
        event->ignore();
        return;
    }
    m_settings->setValue(QLatin1String(GeometryKey), saveGeometry());
    m_settings->setValue(QLatin1String(StateKey), saveState());
    closeModules();
    event->accept();
}
