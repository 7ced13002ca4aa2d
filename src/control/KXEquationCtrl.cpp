#include "KXEquationCtrl.h"

#include "ApplicationInterface.h"
#include "KXDataModel.h"
#include "KXEquationCommand.h"
#include "KXEquationEditor.h"
#include "KXEquationInterpreter.h"
#include "KXEquationModel.h"
#include "KXEquationParallelData.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXRibbon.h"
#include "KXRibbonEquation.h"
#include "MainWindowInterface.h"
#include "TDataEditor2Ctrl.h"
#include "TFileDialog.h"
#include "TProgressBarMgr.h"

#include <memory>

namespace {
const char MODULE_KEY[] = "kxGCP";
const char FILE_DIALOG_KEY[] = "Equation";
const double NO_VALUE = -9999.0;
// Results are written and tasks released whenever the task counter reaches a multiple of this.
const int BATCH = 5000;
// Beyond this many cells the output would not fit a user's memory; refused before any work.
const qint64 MAXIMUM_CELLS = 50000000;

using Tree = std::unique_ptr<KXEquationCommand>;

bool usable(const QVariant& value)
{
    bool numeric = false;
    value.toDouble(&numeric);
    return numeric || value.type() == QVariant::String;
}
}

KXEquationCtrl::KXEquationCtrl() : KXEquationAbstractCtrl(), KXModuleCtrl(QLatin1String(MODULE_KEY))
{
    setEquationModel(new KXEquationModel);
}

KXEquationCtrl::~KXEquationCtrl()
{
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
    connect(m_editor, &KXEquationEditor::launchClicked, this, &KXEquationCtrl::slotCompute);
    connect(m_editor, &KXEquationEditor::saveClicked, this, &KXEquationCtrl::slotSave);
    connect(m_editor, &KXEquationEditor::loadClicked, this, &KXEquationCtrl::slotLoad);

    m_editor->setVariablesEditor(m_variableEditor);
    RibbonInterface::returnMe()->addRibbonBar(m_ribbon, true, true);
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
}

void KXEquationCtrl::removeCellConstants()
{
    variableModel()->removeVariable(QStringLiteral("i"));
    variableModel()->removeVariable(QStringLiteral("j"));
}

KXDataModelGeneric* KXEquationCtrl::compute()
{
    TWaitMode waitMode(true);
    int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
    try {
        getInterval(firstRow, lastRow, firstCol, lastCol);
    } catch (const KXError& error) {
        KXError::dispatchError(error);
        return nullptr;
    }
    if (lastRow - firstRow < 0 || lastCol - firstCol < 0) {
        MessageLoggerInterface::Error(tr("Invalid working range", "Intervalle de travail incorrect"), nullptr);
        return nullptr;
    }
    const qint64 rows = qint64(lastRow) - firstRow + 1;
    const qint64 columns = qint64(lastCol) - firstCol + 1;
    if (rows * columns > MAXIMUM_CELLS) {
        MessageLoggerInterface::Error(tr("The working range is too large", "L'intervalle de travail est trop grand"),
                                      nullptr);
        return nullptr;
    }

    KXEquationVariableModel* variables = variableModel();
    variables->addVariable(QStringLiteral("i"), NO_VALUE);
    variables->addVariable(QStringLiteral("j"), NO_VALUE);

    Tree formula, rowName, colName;
    try {
        KXEquationInterpreter interpreter(variables);
        formula.reset(interpreter.interpret(model()->getFormula()));
        if (!model()->rowName().isEmpty())
            rowName.reset(interpreter.interpret(model()->rowName()));
        if (!model()->colName().isEmpty())
            colName.reset(interpreter.interpret(model()->colName()));
    } catch (const KXError& error) {
        KXError::dispatchError(error);
        formula.reset();
        rowName.reset();
        colName.reset();
        removeCellConstants();
        return nullptr;
    }

    if (!formula->isRangeVariable() && !rowName && !colName) {
        const QVariant value = formula->evaluate();
        formula.reset();
        removeCellConstants();
        return generateConstantDataset(value, firstRow, lastRow, firstCol, lastCol);
    }

    auto output = std::make_unique<KXDataModelGeneric>();
    output->createEmpty(int(columns), int(rows));
    output->setName(model()->getDatasetName(), model()->getSubdatasetName());

    Tasks formulaTasks, rowNameTasks, colNameTasks;
    try {
        auto progress = std::make_unique<TProgressBarMgr>(int(rows * columns),
                                                          tr("Calculations in progress", "Calculs en cours"), true);
        int n = 1;
        auto startTask = [&n, variables](KXEquationCommand* tree, Tasks& tasks, int i, int j) {
            auto* task = new KXEquationParallelData(tree, variables, i, j);
            task->run();
            tasks.append(task);
            ++n;
        };
        // 64-bit counters: a range may end at the largest int.
        for (qint64 i = firstRow; i <= lastRow; ++i) {
            for (qint64 j = firstCol; j <= lastCol; ++j) {
                progress->setProgress(n, n % 25 == 0);
                startTask(formula.get(), formulaTasks, int(i), int(j));
                if (rowName)
                    startTask(rowName.get(), rowNameTasks, int(i), int(j));
                if (colName)
                    startTask(colName.get(), colNameTasks, int(i), int(j));
                if (n % BATCH == 0) {
                    generateVarDataset(output.get(), formulaTasks, rowNameTasks, colNameTasks, firstRow, lastRow,
                                       firstCol, lastCol);
                    cleanParallelizationData(formulaTasks, rowNameTasks, colNameTasks);
                }
            }
        }
        progress.reset();
        generateVarDataset(output.get(), formulaTasks, rowNameTasks, colNameTasks, firstRow, lastRow, firstCol,
                           lastCol);
        cleanParallelizationData(formulaTasks, rowNameTasks, colNameTasks);
    } catch (const KXError& error) {
        KXError::dispatchError(error);
        cleanParallelizationData(formulaTasks, rowNameTasks, colNameTasks);
        removeCellConstants();
        return nullptr;
    }
    removeCellConstants();
    return output.release();
}

void KXEquationCtrl::generateVarDataset(KXDataModelGeneric* output, Tasks formulaTasks, Tasks rowNameTasks,
                                        Tasks colNameTasks, int firstRow, int, int firstCol, int)
{
    const QString header = model()->dataModelForHeader();
    const bool keepRowHeaders = model()->keepVHeader();
    const bool keepColumnHeaders = model()->keepHHeader();
    for (int k = 0; k < formulaTasks.size(); ++k) {
        KXEquationParallelData* task = formulaTasks.at(k);
        const QVariant value = task->result();
        QString message;
        if (KXEquationCommand::getError(value, message))
            throw KXError(tr("Invalid computing formula:", "La formule de calcul est invalide : ") + message);
        if (!usable(value))
            throw KXError(tr("Invalid computing formula", "La formule de calcul est invalide"));

        QVariant newRowName;
        if (!rowNameTasks.isEmpty()) {
            newRowName = rowNameTasks.at(k)->result();
            if (KXEquationCommand::getError(newRowName, message))
                throw KXError(tr("Invalid new line name: ", "Le nom de la nouvelle ligne est invalide : ") + message);
            if (!usable(newRowName))
                throw KXError(tr("Invalid new line name", "Le nom de la nouvelle ligne est invalide"));
        }
        QVariant newColName;
        if (!colNameTasks.isEmpty()) {
            newColName = colNameTasks.at(k)->result();
            if (KXEquationCommand::getError(newColName, message))
                throw KXError(tr("Invalid new column name:", "Le nom de la nouvelle colonne est invalide : ") + message);
            if (!usable(newColName))
                throw KXError(tr("Invalid new column name", "Le nom de la nouvelle colonne est invalide"));
        }

        const int r = task->getRow() - firstRow;
        const int c = task->getCol() - firstCol;
        output->setData(output->index(r, c), value, KXValueRole);

        const QVariant rowHeader = keepRowHeaders ? variableModel()->getVariableModelVerticalHeader(header, task->getRow() - 1)
                                                  : QVariant();
        if (!rowHeader.isNull())
            output->setHeaderData(r, Qt::Vertical, rowHeader, KXValueRole);
        else if (!rowNameTasks.isEmpty())
            output->setHeaderData(r, Qt::Vertical, newRowName, KXValueRole);

        const QVariant colHeader = keepColumnHeaders
                                       ? variableModel()->getVariableModelHorizontalHeader(header, task->getCol() - 1)
                                       : QVariant();
        if (!colHeader.isNull())
            output->setHeaderData(c, Qt::Horizontal, colHeader, KXValueRole);
        else if (!colNameTasks.isEmpty())
            output->setHeaderData(c, Qt::Horizontal, newColName, KXValueRole);
    }
}

KXDataModelGeneric* KXEquationCtrl::generateConstantDataset(const QVariant& value, int firstRow, int lastRow,
                                                            int firstCol, int lastCol)
{
    QString message;
    if (KXEquationCommand::getError(value, message)) {
        MessageLoggerInterface::Error(tr("Invalid computing formula", "La formule de calcul est invalide"), nullptr);
        MessageLoggerInterface::Error(message, nullptr);
        return nullptr;
    }
    bool numeric = false;
    value.toDouble(&numeric);
    if (!numeric && value.toString().isEmpty()) {
        MessageLoggerInterface::Error(tr("Invalid syntax", "Expression invalide"), nullptr);
        return nullptr;
    }
    auto output = std::make_unique<KXDataModelGeneric>();
    output->createEmpty(lastCol - firstCol + 1, lastRow - firstRow + 1);
    output->setName(model()->getDatasetName(), model()->getSubdatasetName());
    const QString header = model()->dataModelForHeader();
    for (int r = 0; r <= lastRow - firstRow; ++r) {
        for (int c = 0; c <= lastCol - firstCol; ++c) {
            output->setData(output->index(r, c), value, KXValueRole);
            const QVariant colHeader = variableModel()->getVariableModelHorizontalHeader(header, c);
            if (model()->keepHHeader() && !colHeader.isNull())
                output->setHeaderData(c, Qt::Horizontal, colHeader, KXValueRole);
        }
        const QVariant rowHeader = variableModel()->getVariableModelVerticalHeader(header, r);
        if (model()->keepVHeader() && !rowHeader.isNull())
            output->setHeaderData(r, Qt::Vertical, rowHeader, KXValueRole);
    }
    return output.release();
}

void KXEquationCtrl::cleanParallelizationData(Tasks& formulaTasks, Tasks& rowNameTasks, Tasks& colNameTasks)
{
    for (Tasks* tasks : {&formulaTasks, &rowNameTasks, &colNameTasks}) {
        for (KXEquationParallelData* task : qAsConst(*tasks)) {
            task->result();
            delete task;
        }
        tasks->clear();
    }
}

void KXEquationCtrl::slotCompute()
{
    KXDataModelGeneric* table = compute();
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
    if (!workspace)
        return;
    if (workspace->closeModule(this))
        delete this;
}

void KXEquationCtrl::slotSave()
{
    TFileDialogSave dialog(ApplicationInterface::returnMe()->mainWidget(), Qt::WindowFlags());
    dialog.setWindowTitle(tr("Save an equation...", "Enregistrer une équation..."));
    dialog.setSpecifiedDir(QLatin1String(FILE_DIALOG_KEY));
    dialog.setExtendedMode(true);
    if (dialog.exec() == 0)
        return;
    saveModel(dialog.fileNameComplete());
}

void KXEquationCtrl::slotLoad()
{
    TFileDialogOpen dialog(ApplicationInterface::returnMe()->mainWidget(), Qt::WindowFlags());
    dialog.setWindowTitle(tr("Load an equation...", "Ouvrir une équation..."));
    dialog.setSpecifiedDir(QLatin1String(FILE_DIALOG_KEY));
    if (dialog.exec() == 0)
        return;
    loadModel(dialog.fileNameComplete());
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

void KXEquationCtrl::updateModelDataModelForName(const QString& name)
{
    model()->setDataModelForHeader(name);
}
