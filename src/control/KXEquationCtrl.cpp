#include "KXEquationCtrl.h"

#include "ApplicationInterface.h"
#include "KXDataModel.h"
#include "KXDatasetReader.h"
#include "KXEquationComputation.h"
#include "KXEquationDocument.h"
#include "KXEquationInterpreter.h"
#include "KXEquationLaunch.h"
#include "KXEquationEditor.h"
#include "KXEquationModel.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"
#include "KXRibbon.h"
#include "KXRibbonEquation.h"
#include "MainWindowInterface.h"
#include "TDataEditor2Ctrl.h"
#include "TFileDialog.h"
#include "TMessageBox.h"
#include "TProgressBarMgr.h"
#include "TWaitMode.h"

#include <QDomDocument>
#include <QTimer>

#include <limits>
#include <memory>

namespace {
const char MODULE_KEY[] = "kxGCP";
const char FILE_DIALOG_KEY[] = "Equation";
}

KXEquationCtrl::KXEquationCtrl() : KXEquationAbstractCtrl(), KXModuleCtrl(QLatin1String(MODULE_KEY))
{
    setEquationModel(new KXEquationModel);
}

KXEquationCtrl::~KXEquationCtrl()
{
    // The launch waits for its thread, which may still be computing.
    delete m_launch;
    delete m_editor;
    RibbonInterface::returnMe()->removeRibbonBar(m_ribbon);
    delete m_ribbon;
}

bool KXEquationCtrl::initView(VRN::Kestrix::Wizard::RibbonWizard*)
{
    m_ribbon = new KXRibbonEquation;
    m_ribbon->createActionGroup(getActionList());
    m_ribbon->registerObserver(this);
    connect(m_ribbon, &KXRibbonEquation::closeClicked, this, &KXEquationCtrl::slotClose);

    m_variableEditor = new KXEquationVariableEditor(variableModel());
    m_variableEditor->linkToRunningWizard(m_ribbon);
    m_variableEditor->initVariablesGroup(m_ribbon);
    m_variableEditor->setTableOwner(this);
    connect(m_variableEditor, &KXEquationVariableEditor::datasetDropped, this,
            &KXEquationAbstractCtrl::slotDatasetDropped);
    connect(m_variableEditor, &KXEquationVariableEditor::variableNameChanged, this,
            &KXEquationAbstractCtrl::updateModelVariableName);
    connect(m_variableEditor, &KXEquationVariableEditor::variableValueChanged, this,
            &KXEquationAbstractCtrl::updateModelVariableValue);
    connect(m_variableEditor, &KXEquationVariableEditor::variableAdded, this,
            &KXEquationAbstractCtrl::slotVariableAdded);
    connect(m_variableEditor, &KXEquationVariableEditor::variableRemovedClicked, this,
            &KXEquationAbstractCtrl::slotVariableRemoved);

    m_editor = new KXEquationEditor(model(), variableModel());
    m_editor->linkToRunningWizard(m_ribbon);
    connect(m_editor, &KXEquationEditor::formulaChanged, this, &KXEquationCtrl::updateModelFormula);
    connect(m_editor, &KXEquationEditor::subdatasetNameChanged, this, &KXEquationCtrl::updateModelSubdatasetName);
    connect(m_editor, &KXEquationEditor::rowStartChanged, this, &KXEquationAbstractCtrl::slotUpdateModelRowStart);
    connect(m_editor, &KXEquationEditor::colStartChanged, this, &KXEquationAbstractCtrl::slotUpdateModelColStart);
    connect(m_editor, &KXEquationEditor::rowEndChanged, this, &KXEquationAbstractCtrl::slotUpdateModelRowEnd);
    connect(m_editor, &KXEquationEditor::colEndChanged, this, &KXEquationAbstractCtrl::slotUpdateModelColEnd);
    connect(m_editor, &KXEquationEditor::stateHHeaderChanged, this, &KXEquationCtrl::updateModelHHeader);
    connect(m_editor, &KXEquationEditor::stateVHeaderChanged, this, &KXEquationCtrl::updateModelVHeader);
    connect(m_editor, &KXEquationEditor::keepHeaderChanged, this, &KXEquationCtrl::updateModelHeader);
    connect(m_editor, &KXEquationEditor::dataModelForHeaderChanged, this,
            &KXEquationCtrl::updateModelDataModelForName);
    connect(m_editor, &KXEquationEditor::rowNameChanged, this, &KXEquationCtrl::updateModelRowName);
    connect(m_editor, &KXEquationEditor::colNameChanged, this, &KXEquationCtrl::updateModelColName);
    connect(m_editor, &KXEquationEditor::seedChanged, this, &KXEquationCtrl::updateModelSeed);
    connect(m_editor, &KXEquationEditor::launchClicked, this, &KXEquationCtrl::slotCompute);
    connect(m_editor, &KXEquationEditor::saveClicked, this, &KXEquationCtrl::slotSave);
    connect(m_editor, &KXEquationEditor::loadClicked, this, &KXEquationCtrl::slotLoad);
    connect(m_editor, &KXEquationEditor::cancelClicked, this, [this] {
        if (m_launch)
            m_launch->cancel();
    });

    m_editor->setVariablesEditor(m_variableEditor);
    RibbonInterface::returnMe()->addRibbonBar(m_ribbon, true, true);
    markUnmodified();
    return true;
}

void KXEquationCtrl::activeRibbon()
{
    RibbonInterface::returnMe()->setCurrentRibbonBar(m_ribbon);
}

KXEquationModel* KXEquationCtrl::model() const
{
    return static_cast<KXEquationModel*>(equationModel());
}

KXRibbonBar* KXEquationCtrl::ribbonBar() const
{
    return m_ribbon;
}

void KXEquationCtrl::updateInterface()
{
    if (m_editor)
        m_editor->updateInterface();
    if (m_variableEditor) {
        m_variableEditor->clear();
        m_variableEditor->updateVariables();
    }
}

void KXEquationCtrl::setCurrentDataModel(QAbstractItemModel* dataModel)
{
    QString dataset;
    QString subdataset;
    KXEquationVariableModel::getDataModelName(dataModel, dataset, subdataset);
    model()->setDatasetName(dataset);
    model()->setSubdatasetName(subdataset + QLatin1String("_2"));
    addVariable(dataModel, QString(), true);
    // Starting on a table is not work to save.
    markUnmodified();
}

// A formula the page shows is marked at the failing place and logged; it needs no box.
void KXEquationCtrl::reportReadingFailure(const KXEquationReadError& failure)
{
    if (!m_editor || failure.text() != model()->getFormula()) {
        KXError::dispatchError(failure);
        return;
    }
    KXMessageSink::report(KXMessageSink::Origin::Located, failure.message());
    m_editor->showFormulaError(failure);
}

void KXEquationCtrl::reportRangeFailure(KXEquationDocument::RangeField field, const KXError& failure)
{
    const QString message =
        tr("%1: %2", "%1 : %2").arg(KXEquationEditor::rangeFieldName(field), failure.message());
    if (!m_editor) {
        KXError::dispatchError(KXError(message));
        return;
    }
    KXMessageSink::report(KXMessageSink::Origin::Located, message);
    m_editor->showRangeError(field, message, failure);
}

KXDataModelGeneric* KXEquationCtrl::compute()
{
    return compute(KXEquationComputation::Engine::Fast);
}

KXDataModelGeneric* KXEquationCtrl::compute(KXEquationComputation::Engine engine, const std::atomic<bool>* cancel)
{
    TWaitMode waitMode(true);
    std::unique_ptr<TProgressBarMgr> progress;
    KXEquationComputation::Options options;
    options.engine = engine;
    options.cancel = cancel;
    // The indicator appears with the first cell and goes before the last results are written.
    options.progress = [&progress, engine](qint64 done, qint64 total) {
        const qint64 largest = std::numeric_limits<int>::max();
        if (!progress)
            progress = std::make_unique<TProgressBarMgr>(int(qMin(total, largest)),
                                                         tr("Calculations in progress", "Calculs en cours"), true);
        const bool reference = engine == KXEquationComputation::Engine::Reference;
        progress->setProgress(int(qMin(done, largest)), !reference || done % 25 == 0);
    };
    options.evaluated = [&progress] { progress.reset(); };
    options.reportReadingFailure = false;
    KXEquationComputation computation(model(), variableModel());
    KXDataModelGeneric* table = computation.compute(options);
    m_readingFailure = computation.readingFailure();
    if (m_readingFailure)
        reportReadingFailure(*m_readingFailure);
    if (const auto failure = computation.rangeFailure())
        reportRangeFailure(computation.failedRangeField(), *failure);
    return table;
}

// With a page, the computation runs off the user-interface thread and the page stays usable;
// without one, as other callers drive the controller, it runs here.
void KXEquationCtrl::slotCompute()
{
    if (!m_editor) {
        handOver(compute());
        return;
    }
    if (m_launch) {
        const QString refused = tr("A computation is already running", "Un calcul est déjà en cours");
        MessageLoggerInterface::Info(refused);
        m_editor->showLaunchMessage(refused);
        return;
    }
    m_launch = new KXEquationLaunch(*model(), *variableModel(), this);
    connect(m_launch, &KXEquationLaunch::finished, this, &KXEquationCtrl::finishLaunch);
    if (!m_launchTimer) {
        m_launchTimer = new QTimer(this);
        m_launchTimer->setInterval(100);
        connect(m_launchTimer, &QTimer::timeout, this, [this] {
            if (m_launch && m_editor)
                m_editor->showLaunchProgress(m_launch->cellsDone(), m_launch->cellsTotal(),
                                             m_launch->elapsedMilliseconds());
        });
    }
    m_editor->setLaunchRunning(true);
    m_launchTimer->start();
    m_launch->start();
}

void KXEquationCtrl::finishLaunch()
{
    std::unique_ptr<KXEquationLaunch> launch(m_launch);
    m_launch = nullptr;
    m_launchTimer->stop();
    if (m_editor)
        m_editor->setLaunchRunning(false);
    m_readingFailure = launch->readingFailure();
    if (m_readingFailure)
        reportReadingFailure(*m_readingFailure);
    if (const auto failure = launch->rangeFailure())
        reportRangeFailure(launch->failedRangeField(), *failure);
    // Every other failure once in the log and once on the page, where the user is looking.
    for (const QString& failure : launch->failures())
        KXMessageSink::report(KXMessageSink::Origin::Located, failure);
    for (const QString& note : launch->notes())
        MessageLoggerInterface::Info(note);
    if (m_editor && !launch->failures().isEmpty())
        m_editor->showLaunchMessage((launch->failures() + launch->notes()).join(QLatin1Char('\n')));
    handOver(launch->takeTable());
}

void KXEquationCtrl::handOver(KXDataModelGeneric* table)
{
    if (!table)
        return;
    TDataEditor2Ctrl* editor = ModuleLauncherInterface::returnMe()->dataEditor(0);
    if (!editor) {
        // A host without data editor cannot show the table; it must not leak.
        delete table;
        return;
    }
    editor->addGenericModel(table);
    editor->keepModel(table);
}

void KXEquationCtrl::slotClose()
{
    WorkspaceInterface* workspace = WorkspaceInterface::returnMe();
    if (!workspace || !confirmClose())
        return;
    if (workspace->closeModule(this))
        delete this;
}

void KXEquationCtrl::slotSave()
{
    saveEquation();
}

void KXEquationCtrl::slotLoad()
{
    loadEquation();
}

bool KXEquationCtrl::saveEquation()
{
    TFileDialogSave dialog(ApplicationInterface::returnMe()->mainWidget(), Qt::WindowFlags());
    dialog.setWindowTitle(tr("Save an equation...", "Enregistrer une équation..."));
    dialog.setSpecifiedDir(QLatin1String(FILE_DIALOG_KEY));
    dialog.setExtendedMode(true);
    if (dialog.exec() == 0)
        return false;
    if (!saveModel(dialog.fileNameComplete())) {
        reportFileFailure();
        return false;
    }
    markUnmodified();
    return true;
}

bool KXEquationCtrl::loadEquation()
{
    TFileDialogOpen dialog(ApplicationInterface::returnMe()->mainWidget(), Qt::WindowFlags());
    dialog.setWindowTitle(tr("Load an equation...", "Ouvrir une équation..."));
    dialog.setSpecifiedDir(QLatin1String(FILE_DIALOG_KEY));
    if (dialog.exec() == 0)
        return false;
    const QString path = dialog.fileNameComplete();
    // The datasets that the file names are read first, off this thread where the host can; the
    // file is then decoded here from the tables already read.
    enum Outcome { Reading, Loaded, NotLoaded };
    auto outcome = std::make_shared<Outcome>(Reading);
    KXDatasetReader::returnMe()->read(KXEquationDocument::storedDatasets(path), this,
                                      [this, path, outcome](const QList<KXDataModelDataset*>& tables, bool cancelled) {
                                          const KXReadAheadTables readAhead(tables);
                                          *outcome = loadRead(path, cancelled) ? Loaded : NotLoaded;
                                      });
    return *outcome != NotLoaded;
}

bool KXEquationCtrl::loadRead(const QString& path, bool cancelled)
{
    if (cancelled) {
        const QString message = tr("Loading of %1 cancelled; the equation is unchanged.",
                                   "Chargement de %1 annulé ; l'équation est inchangée.")
                                    .arg(path);
        KXMessageSink::report(KXMessageSink::Origin::Info, message);
        if (m_editor)
            m_editor->showLaunchMessage(message);
        return false;
    }
    if (!loadModel(path)) {
        reportFileFailure();
        return false;
    }
    // A file of another version loads as nothing; the user must hear of it.
    const QString version = KXEquationDocument::unknownVersion(path);
    if (!version.isEmpty()) {
        const QString message = tr("%1: the equation file is of version %2, which this program cannot read; "
                                   "nothing was loaded.",
                                   "%1 : le fichier d'équation est de version %2, que ce programme ne sait pas "
                                   "lire ; rien n'a été chargé.")
                                    .arg(path, version);
        KXMessageSink::report(KXMessageSink::Origin::Located, message);
        if (m_editor)
            m_editor->showLaunchMessage(message);
        return false;
    }
    markUnmodified();
    focusFormula();
    return true;
}

void KXEquationCtrl::reportFileFailure()
{
    // The page shows it where the user is looking; the log keeps it.
    KXMessageSink::report(m_editor ? KXMessageSink::Origin::Located : KXMessageSink::Origin::Log, fileError());
    if (m_editor)
        m_editor->showLaunchMessage(fileError());
}

void KXEquationCtrl::focusFormula()
{
    if (m_editor)
        m_editor->focusFormula();
}

QString KXEquationCtrl::equationText() const
{
    QDomDocument document;
    QDomElement root = document.createElement(QStringLiteral("Equation"));
    document.appendChild(root);
    equationModel()->encode(root);
    variableModel()->encode(root);
    return document.toString();
}

void KXEquationCtrl::markUnmodified()
{
    m_unmodifiedText = equationText();
}

bool KXEquationCtrl::isModified() const
{
    return equationText() != m_unmodifiedText;
}

bool KXEquationCtrl::confirmClose()
{
    if (!isModified())
        return true;
    const int answer = TMessageBox::questionSaveDiscardCancel(
        tr("Unsaved equation", "Équation non enregistrée"),
        tr("The equation has changes that are not saved in a file. Save them before closing?",
           "L'équation a des modifications qui ne sont pas enregistrées dans un fichier. Les enregistrer "
           "avant de fermer ?"));
    if (answer == TMessageBox::Save)
        return saveEquation();
    return answer == TMessageBox::Discard;
}

void KXEquationCtrl::updateModelFormula(const QString& formula)
{
    model()->setFormula(formula);
}

void KXEquationCtrl::updateModelDatasetName(const QString& name)
{
    model()->setDatasetName(name);
}

void KXEquationCtrl::updateModelSubdatasetName(const QString& name)
{
    model()->setSubdatasetName(name);
}

void KXEquationCtrl::updateModelHHeader(bool state)
{
    model()->setKeepHHeader(state);
}

void KXEquationCtrl::updateModelVHeader(bool state)
{
    model()->setKeepVHeader(state);
}

void KXEquationCtrl::updateModelHeader(bool state)
{
    model()->setKeepHeader(state);
}

void KXEquationCtrl::updateModelRowName(const QString& name)
{
    model()->setRowName(name);
}

void KXEquationCtrl::updateModelColName(const QString& name)
{
    model()->setColName(name);
}

void KXEquationCtrl::updateModelSeed(quint64 seed)
{
    model()->setSeed(seed);
}

void KXEquationCtrl::updateModelDataModelForName(const QString& name)
{
    model()->setDataModelForHeader(name);
}
