#include "KXEquationComputation.h"

#include "KXDataModel.h"
#include "KXEquationCellProgram.h"
#include "KXEquationCommand.h"
#include "KXEquationDocument.h"
#include "KXEquationInterpreter.h"
#include "KXEquationModel.h"
#include "KXEquationParallelData.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXEquationFacts.h"
#include "KXSystemMemory.h"

#include <QCoreApplication>
#include <QRunnable>
#include <QThreadPool>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <iterator>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace {
// The reference writes its results and releases its tasks whenever the task counter passes a
// multiple of this.
const qint64 BATCH = 5000;
// Cells per block of the fast engine: small enough for progress and balance, large enough that
// making a worker is nothing beside evaluating the block.
const qint64 BLOCK_CELLS = 16384;
const double MEBIBYTE = 1024.0 * 1024.0;

using Tree = std::unique_ptr<KXEquationCommand>;

// The messages of the computation keep the module controller's context, where they began.
QString tr(const char* english, const char* french)
{
    return QCoreApplication::translate("KXEquationCtrl", english, french, -1);
}

QString trComputation(const char* english, const char* french)
{
    return QCoreApplication::translate("KXEquationComputation", english, french, -1);
}

bool usable(const QVariant& value)
{
    bool numeric = false;
    value.toDouble(&numeric);
    return numeric || value.type() == QVariant::String;
}

// The three formulas of a cell, in the order in which their values are checked.
enum Formula { CellFormula, RowNameFormula, ColumnNameFormula, FormulaCount };

struct CellMessages
{
    const char* errorPrefix;
    const char* errorPrefixFrench;
    const char* unusable;
    const char* unusableFrench;
};

const CellMessages CELL_MESSAGES[FormulaCount] = {
    {"Invalid computing formula:", "La formule de calcul est invalide : ", "Invalid computing formula",
     "La formule de calcul est invalide"},
    {"Invalid new line name: ", "Le nom de la nouvelle ligne est invalide : ", "Invalid new line name",
     "Le nom de la nouvelle ligne est invalide"},
    {"Invalid new column name:", "Le nom de la nouvelle colonne est invalide : ", "Invalid new column name",
     "Le nom de la nouvelle colonne est invalide"},
};

// Doubles, bools and texts are written; an error value or an invalid value ends the computation.
bool acceptable(const QVariant& value)
{
    return value.userType() == QMetaType::Double || (!KXEquationCommand::getError(value) && usable(value));
}

// Most cells are doubles, and this runs once per cell: they are read without a QVariant.
bool acceptable(const KXCellStore& cells, size_t at)
{
    double number;
    return cells.number(at, number) || acceptable(cells.at(at));
}

QString failureMessage(Formula formula, const QVariant& value)
{
    const CellMessages& messages = CELL_MESSAGES[formula];
    QString error;
    if (KXEquationCommand::getError(value, error))
        return tr(messages.errorPrefix, messages.errorPrefixFrench) + error;
    return tr(messages.unusable, messages.unusableFrench);
}

// Header sections count from 0, range numbers from 1; a number at the bottom of the int range
// has no section below it.
int headerSection(qint64 number)
{
    return int(std::max<qint64>(number - 1, -1));
}

/// The first failing value of a part of the range, in row-major order.
struct CellFailure
{
    bool failed = false;
    int row = 0;
    int column = 0;
    Formula formula = CellFormula;
    QVariant value;
};
}

/// One call of compute(): the range, the trees and the output, and the two ways to fill it.
class KXEquationComputation::Run
{
public:
    Run(const KXEquationModel* equation, KXEquationVariableModel* variables, const Options& options)
        : equation(equation), variables(variables), options(options)
    {
    }

    bool cancelRequested() const { return options.cancel && options.cancel->load(std::memory_order_relaxed); }
    void progress(qint64 done) const
    {
        if (options.progress)
            options.progress(done, rows * columns);
    }
    void evaluated() const
    {
        if (options.evaluated)
            options.evaluated();
    }

    KXDataModelGeneric* constantDataset(const QVariant& value) const;
    /// The table would not fit: how much it needs, and how much memory the machine has.
    void refuseMemory() const
    {
        MessageLoggerInterface::Error(
            trComputation("The table needs %1 MiB of memory; this machine has %2 MiB",
                          "Le tableau demande %1 Mio de mémoire ; cette machine en a %2 Mio")
                .arg(std::ceil(KXDataModelGeneric::tableBytes(rows, columns) / MEBIBYTE), 0, 'f', 0)
                .arg(std::floor(double(KXSystemMemory::physicalBytes()) / MEBIBYTE), 0, 'f', 0),
            nullptr);
    }
    /// The output table, named, every cell unset; false, with the memory refused, when it does not fit.
    bool makeOutput(KXCellStore::Construction construction)
    {
        output = std::make_unique<KXDataModelGeneric>();
        output->createEmpty(int(columns), int(rows), construction);
        if (output->rowCount() != rows || output->columnCount() != columns) {
            output.reset();
            refuseMemory();
            return false;
        }
        output->setName(equation->getDatasetName(), equation->getSubdatasetName());
        return true;
    }
    /// Both make and fill output (left null when it does not fit); false when a cell failed
    /// (failure says which) or the computation was cancelled.
    bool reference();
    bool fast();
    /// How many cells, in row-major order, the reference evaluates when the cell at index failed
    /// first (counting from 0), with that many formulas per cell.
    qint64 referenceEvaluated(qint64 failed, int formulas) const;

    const KXEquationModel* equation;
    KXEquationVariableModel* variables;
    const Options& options;
    int firstRow = 0, lastRow = 0, firstColumn = 0, lastColumn = 0;
    qint64 rows = 0, columns = 0;
    Tree trees[FormulaCount];
    std::unique_ptr<KXDataModelGeneric> output;
    CellFailure failure;

private:
    using Tasks = QList<KXEquationParallelData*>;
    bool generateVarDataset(Tasks (&tasks)[FormulaCount]);
    static void cleanParallelizationData(Tasks (&tasks)[FormulaCount]);
    class Blocks;
};

KXEquationComputation::KXEquationComputation(const KXEquationModel* equation, KXEquationVariableModel* variables)
    : m_equation(equation), m_variables(variables)
{
}

// In doubles: two int-sized counts of 16-byte cells overflow 64 bits.
KXDataModelGeneric* KXEquationComputation::compute()
{
    return compute(Options());
}

KXDataModelGeneric* KXEquationComputation::compute(const Options& options)
{
    const KXReportScope reports; // one line per distinct message, however many cells repeat it
    m_outcome = Outcome::Failed;
    m_hasFailedCell = false;
    m_readingFailure.reset();
    m_hasFailedRangeField = false;
    m_rangeFailure.reset();
    Run run(m_equation, m_variables, options);
    // Every copy of the variables takes the seed along, so every cell on every thread draws from it.
    m_variables->setRandomSeed(m_equation->seed());
    try {
        KXEquationDocument::evaluateRange(m_equation, m_variables, run.firstRow, run.lastRow, run.firstColumn,
                                          run.lastColumn, &m_failedRangeField);
    } catch (const KXError& error) {
        m_hasFailedRangeField = true;
        const int field = int(m_failedRangeField);
        const auto* located = dynamic_cast<const KXEquationReadError*>(&error);
        m_rangeFailure = located ? std::make_shared<KXEquationReadError>(*located) : std::make_shared<KXError>(error);
        if (!options.reportReadingFailure)
            return nullptr;
        if (dynamic_cast<const KXEquationReadError*>(&error) && field < options.rangeFieldNames.size())
            KXError::dispatchError(KXError(options.rangeFieldNames.at(field) + QLatin1String(": ") + error.message()));
        else
            KXError::dispatchError(error);
        return nullptr;
    }
    // In 64 bits: the range's ends may be as far apart as the int range allows.
    if (qint64(run.lastRow) - run.firstRow < 0 || qint64(run.lastColumn) - run.firstColumn < 0) {
        MessageLoggerInterface::Error(tr("Invalid working range", "Intervalle de travail incorrect"), nullptr);
        return nullptr;
    }
    run.rows = qint64(run.lastRow) - run.firstRow + 1;
    run.columns = qint64(run.lastColumn) - run.firstColumn + 1;
    const double needed = KXDataModelGeneric::tableBytes(run.rows, run.columns);
    const double available = double(KXSystemMemory::physicalBytes());
    // Rows and columns are counted in ints by the table.
    if ((available > 0 && needed > available) || run.rows > std::numeric_limits<int>::max()
        || run.columns > std::numeric_limits<int>::max()) {
        run.refuseMemory();
        return nullptr;
    }

    // "i" and "j" exist while the trees are read and evaluated; the cancel flag reaches every
    // copy of the variable model, and so every long loop of an evaluation.
    struct CellConstants
    {
        KXEquationVariableModel* variables;
        const std::atomic<bool>* previousCancel;
        CellConstants(KXEquationVariableModel* variables, const std::atomic<bool>* cancel)
            : variables(variables), previousCancel(variables->cancelFlag())
        {
            variables->addVariable(QStringLiteral("i"), KXNoValue);
            variables->addVariable(QStringLiteral("j"), KXNoValue);
            variables->setCancelFlag(cancel);
        }
        ~CellConstants()
        {
            variables->setCancelFlag(previousCancel);
            variables->removeVariable(QStringLiteral("i"));
            variables->removeVariable(QStringLiteral("j"));
        }
    } cellConstants(m_variables, options.cancel);

    // Declared after the constants: the trees go first, as their loop variables live in the model.
    struct Trees
    {
        Tree (&trees)[FormulaCount];
        ~Trees()
        {
            for (Tree& tree : trees)
                tree.reset();
        }
    } treesReleased{run.trees};
    try {
        KXEquationInterpreter interpreter(m_variables);
        run.trees[CellFormula].reset(interpreter.interpret(m_equation->getFormula()));
        if (!m_equation->rowName().isEmpty())
            run.trees[RowNameFormula].reset(interpreter.interpret(m_equation->rowName()));
        if (!m_equation->colName().isEmpty())
            run.trees[ColumnNameFormula].reset(interpreter.interpret(m_equation->colName()));
    } catch (const KXError& error) {
        if (const auto* located = dynamic_cast<const KXEquationReadError*>(&error))
            m_readingFailure = std::make_shared<KXEquationReadError>(*located);
        if (!m_readingFailure || options.reportReadingFailure)
            KXError::dispatchError(error);
        return nullptr;
    }

    if (!run.trees[CellFormula]->isRangeVariable() && !run.trees[RowNameFormula] && !run.trees[ColumnNameFormula]) {
        const QVariant value = run.trees[CellFormula]->evaluate();
        if (run.cancelRequested()) {
            m_outcome = Outcome::Cancelled;
            MessageLoggerInterface::Info(trComputation("Computation cancelled", "Calcul annulé"));
            return nullptr;
        }
        KXDataModelGeneric* table = run.constantDataset(value);
        if (table)
            m_outcome = Outcome::Done;
        return table;
    }

    const bool complete = options.engine == Engine::Reference ? run.reference() : run.fast();
    if (!run.output)
        return nullptr;
    if (run.cancelRequested()) {
        m_outcome = Outcome::Cancelled;
        MessageLoggerInterface::Info(trComputation("Computation cancelled", "Calcul annulé"));
        return nullptr;
    }
    if (!complete) {
        m_hasFailedCell = true;
        m_failedRow = run.failure.row;
        m_failedColumn = run.failure.column;
        KXError::dispatchError(KXError(failureMessage(run.failure.formula, run.failure.value)));
        MessageLoggerInterface::Info(
            trComputation("row %1, column %2", "ligne %1, colonne %2").arg(m_failedRow).arg(m_failedColumn));
        return nullptr;
    }
    m_outcome = Outcome::Done;
    return run.output.release();
}

// One value everywhere. Here header sections are taken by output index, whereas the per-cell
// paths take them by range number minus one; the two agree when the range starts at 1.
KXDataModelGeneric* KXEquationComputation::Run::constantDataset(const QVariant& value) const
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
    auto table = std::make_unique<KXDataModelGeneric>();
    table->createEmpty(int(columns), int(rows));
    if (table->rowCount() != rows || table->columnCount() != columns) {
        refuseMemory();
        return nullptr;
    }
    table->setName(equation->getDatasetName(), equation->getSubdatasetName());
    const QString header = equation->dataModelForHeader();
    const bool reference = options.engine == Engine::Reference;
    if (!reference) {
        table->writableCells().fill(value);
        table->cellsWritten();
    }
    for (int r = 0; r < rows; ++r) {
        // The reference asks for the column headers again in every row; the answers never change.
        for (int c = 0; c < columns && (reference || r == 0); ++c) {
            if (reference)
                table->setData(table->index(r, c), value, KXValueRole);
            const QVariant colHeader = variables->getVariableModelHorizontalHeader(header, c);
            if (equation->keepHHeader() && !colHeader.isNull())
                table->setHeaderData(c, Qt::Horizontal, colHeader, KXValueRole);
        }
        const QVariant rowHeader = variables->getVariableModelVerticalHeader(header, r);
        if (equation->keepVHeader() && !rowHeader.isNull())
            table->setHeaderData(r, Qt::Vertical, rowHeader, KXValueRole);
    }
    return table.release();
}

// The reference: one task per cell and formula, started in row-major order and collected in
// creation order in batches. A batch is written when the task counter passes a multiple of BATCH
// (with the formula alone: after 4999 cells, then every 5000), so that naming formulas, which move
// the counter by two or three per cell, never leave every task of the table alive at once.
bool KXEquationComputation::Run::reference()
{
    if (!makeOutput(KXCellStore::Constructed))
        return false;
    Tasks tasks[FormulaCount];
    qint64 n = 1;
    qint64 batchesWritten = 0;
    // 64-bit counters: a range may end at the largest int.
    for (qint64 i = firstRow; i <= lastRow; ++i) {
        for (qint64 j = firstColumn; j <= lastColumn; ++j) {
            if (cancelRequested()) {
                cleanParallelizationData(tasks);
                return false;
            }
            progress(n);
            for (int formula = 0; formula < FormulaCount; ++formula) {
                if (!trees[formula])
                    continue;
                auto* task = new KXEquationParallelData(trees[formula].get(), variables, int(i), int(j));
                task->run();
                tasks[formula].append(task);
                ++n;
            }
            if (n / BATCH > batchesWritten) {
                batchesWritten = n / BATCH;
                const bool written = generateVarDataset(tasks);
                cleanParallelizationData(tasks);
                if (!written)
                    return false;
            }
        }
    }
    evaluated();
    const bool written = generateVarDataset(tasks);
    cleanParallelizationData(tasks);
    return written;
}

// The task counter starts at 1 and moves by one per formula; the batch of the failing cell is
// written once the counter reaches the next multiple of BATCH, after every cell of it has run.
qint64 KXEquationComputation::Run::referenceEvaluated(qint64 failed, int formulas) const
{
    const qint64 written = (1 + formulas * failed) / BATCH * BATCH + BATCH;
    return std::min(rows * columns, (written - 1 + formulas - 1) / formulas);
}

bool KXEquationComputation::Run::generateVarDataset(Tasks (&tasks)[FormulaCount])
{
    const QString header = equation->dataModelForHeader();
    const bool keepRowHeaders = equation->keepVHeader();
    const bool keepColumnHeaders = equation->keepHHeader();
    for (int k = 0; k < tasks[CellFormula].size(); ++k) {
        KXEquationParallelData* task = tasks[CellFormula].at(k);
        QVariant values[FormulaCount];
        for (int formula = 0; formula < FormulaCount; ++formula) {
            if (tasks[formula].isEmpty())
                continue;
            values[formula] = tasks[formula].at(k)->result();
            if (!acceptable(values[formula])) {
                failure = {true, task->getRow(), task->getCol(), Formula(formula), values[formula]};
                return false;
            }
        }

        const int r = task->getRow() - firstRow;
        const int c = task->getCol() - firstColumn;
        output->setData(output->index(r, c), values[CellFormula], KXValueRole);

        const QVariant rowHeader =
            keepRowHeaders ? variables->getVariableModelVerticalHeader(header, headerSection(task->getRow())) : QVariant();
        if (!rowHeader.isNull())
            output->setHeaderData(r, Qt::Vertical, rowHeader, KXValueRole);
        else if (!tasks[RowNameFormula].isEmpty())
            output->setHeaderData(r, Qt::Vertical, values[RowNameFormula], KXValueRole);

        const QVariant colHeader =
            keepColumnHeaders ? variables->getVariableModelHorizontalHeader(header, headerSection(task->getCol())) : QVariant();
        if (!colHeader.isNull())
            output->setHeaderData(c, Qt::Horizontal, colHeader, KXValueRole);
        else if (!tasks[ColumnNameFormula].isEmpty())
            output->setHeaderData(c, Qt::Horizontal, values[ColumnNameFormula], KXValueRole);
    }
    return true;
}

// Waits for every task before deleting it, so that no task is left running.
void KXEquationComputation::Run::cleanParallelizationData(Tasks (&tasks)[FormulaCount])
{
    for (Tasks& list : tasks) {
        for (KXEquationParallelData* task : qAsConst(list)) {
            task->result();
            delete task;
        }
        list.clear();
    }
}

/// The fast engine's shared state: blocks of whole rows, claimed in order by the calling thread
/// and by helpers on the global pool. Cells go straight into the output's storage; each block keeps
/// its own first failure, so that the earliest failing block decides, as row-major order wants.
class KXEquationComputation::Run::Blocks
{
public:
    explicit Blocks(Run& run) : m_run(run)
    {
        const int threads = std::max(1, QThreadPool::globalInstance()->maxThreadCount());
        // Several blocks per thread for balance, each at most about BLOCK_CELLS cells.
        const qint64 balanced = std::max<qint64>(1, run.rows / (qint64(threads) * 8));
        const qint64 bounded = std::max<qint64>(1, BLOCK_CELLS / run.columns);
        m_rowsPerBlock = std::min(balanced, bounded);
        m_blockCount = int((run.rows + m_rowsPerBlock - 1) / m_rowsPerBlock);
        m_failures.resize(size_t(m_blockCount));
        m_reports.resize(size_t(m_blockCount));
        m_evaluatedEnd.resize(size_t(m_blockCount));
        for (int block = 0; block < m_blockCount; ++block)
            m_evaluatedEnd[size_t(block)] = firstRow(block) * run.columns;
        for (int formula = 0; formula < FormulaCount; ++formula) {
            if (run.trees[formula]) {
                m_programs[formula] = compileCellProgram(*run.trees[formula], *run.variables);
                ++m_formulas;
            }
        }
        if (m_programs[RowNameFormula])
            m_rowNames.resize(size_t(run.rows));
        if (m_programs[ColumnNameFormula])
            m_columnNames.resize(size_t(run.columns));
    }

    bool compute()
    {
        // Made once the programs are: from here on every block constructs its own cells.
        if (!m_run.makeOutput(KXCellStore::Unconstructed))
            return false;
        m_cells = &m_run.output->writableCells();
        m_run.progress(0);
        // Helpers only where a pool thread is free now: a caller that is itself a pool task
        // then never waits for helpers that cannot start.
        // Helpers hold the count they report to, which must outlive the last helper's unlock.
        // The hand-over and the count use std:: primitives, which race checkers see through.
        auto helpersDone = std::make_shared<HelperCount>();
        int helpers = 0;
        const int wanted = std::min(QThreadPool::globalInstance()->maxThreadCount() - 1, m_blockCount - 1);
        m_handedOver.store(true, std::memory_order_release);
        for (int k = 0; k < wanted; ++k) {
            auto* helper = QRunnable::create([this, helpersDone] {
                m_handedOver.load(std::memory_order_acquire);
                runBlocks(false);
                std::lock_guard<std::mutex> lock(helpersDone->mutex);
                ++helpersDone->count;
                helpersDone->changed.notify_all();
            });
            if (!QThreadPool::globalInstance()->tryStart(helper)) {
                delete helper;
                break;
            }
            ++helpers;
        }
        runBlocks(true);
        std::unique_lock<std::mutex> lock(helpersDone->mutex);
        while (helpersDone->count < helpers) {
            helpersDone->changed.wait_for(lock, std::chrono::milliseconds(20));
            lock.unlock();
            m_run.progress(m_cellsDone.load());
            lock.lock();
        }
        lock.unlock();
        // The last helper may finish between two reports: the count ends where the cells did.
        m_run.progress(m_cellsDone.load());
        m_run.evaluated();
        if (m_run.cancelRequested())
            return false;
        const auto failed = std::find_if(m_failures.begin(), m_failures.end(),
                                         [](const CellFailure& failure) { return failure.failed; });
        if (failed != m_failures.end()) {
            const qint64 cell = (failed->row - qint64(m_run.firstRow)) * m_run.columns
                + (failed->column - qint64(m_run.firstColumn));
            report(m_run.referenceEvaluated(cell, m_formulas));
            m_run.failure = *failed;
            return false;
        }
        report(m_run.rows * m_run.columns);
        m_run.output->cellsWritten();
        writeHeaders();
        return true;
    }

private:
    void runBlocks(bool reporting)
    {
        for (;;) {
            const int block = m_nextBlock.fetch_add(1);
            if (block >= m_blockCount)
                return;
            // The thread that runs a block touches its memory first.
            double* const first = m_cells->rawSlots() + firstRow(block) * m_run.columns;
            double* const last = m_cells->rawSlots() + (lastRow(block) + 1) * m_run.columns;
            KXCellStore::prepareForWriting(first, last);
            // A block after a failing one cannot hold the first failure; its cells are left empty.
            if (block > m_firstFailedBlock.load() || m_run.cancelRequested()) {
                std::fill(first, last, KXCellStore::noValueSlot());
                continue;
            }
            runBlock(block);
            if (reporting)
                m_run.progress(m_cellsDone.load());
        }
    }

    // Output rows, 0-based.
    qint64 firstRow(int block) const { return qint64(block) * m_rowsPerBlock; }
    qint64 lastRow(int block) const { return std::min(m_run.rows, firstRow(block) + m_rowsPerBlock) - 1; }

    void runBlock(int block)
    {
        const Run& run = m_run;
        std::unique_ptr<KXEquationCellProgram::Worker> workers[FormulaCount];
        for (int formula = 0; formula < FormulaCount; ++formula) {
            if (m_programs[formula])
                workers[formula] = m_programs[formula]->makeWorker(run.options.cancel);
        }
        std::unique_ptr<KXCellStore> names[FormulaCount];
        for (int formula = RowNameFormula; formula < FormulaCount; ++formula) {
            if (workers[formula])
                names[formula] = std::make_unique<KXCellStore>(size_t(run.columns));
        }
        for (qint64 r = firstRow(block), last = lastRow(block); r <= last; ++r) {
            if (run.cancelRequested())
                return;
            const int i = int(run.firstRow + r);
            KXCellStore* const values[FormulaCount] = {m_cells, names[RowNameFormula].get(),
                                                       names[ColumnNameFormula].get()};
            const size_t starts[FormulaCount] = {size_t(r * run.columns), 0, 0};
            for (int formula = 0; formula < FormulaCount; ++formula) {
                if (!workers[formula])
                    continue;
                if (m_programs[formula]->reports())
                    evaluateReporting(*workers[formula], block, r * run.columns, run.columns, *values[formula],
                                      starts[formula]);
                else
                    workers[formula]->writeRow(i, run.firstColumn, run.lastColumn, *values[formula], starts[formula]);
            }
            m_evaluatedEnd[size_t(block)] = (r + 1) * run.columns;
            for (qint64 c = 0; c < run.columns; ++c) {
                for (int formula = 0; formula < FormulaCount; ++formula) {
                    if (workers[formula] && !acceptable(*values[formula], starts[formula] + size_t(c))) {
                        m_failures[size_t(block)] = {true, i, int(run.firstColumn + c), Formula(formula),
                                                     values[formula]->at(starts[formula] + size_t(c))};
                        int expected = m_firstFailedBlock.load();
                        while (block < expected && !m_firstFailedBlock.compare_exchange_weak(expected, block)) {
                        }
                        return;
                    }
                }
            }
            // A header set once per cell keeps the value of the last cell written for it.
            if (workers[RowNameFormula])
                m_rowNames[size_t(r)] = names[RowNameFormula]->at(size_t(run.columns - 1));
            if (workers[ColumnNameFormula] && r == run.rows - 1) {
                for (qint64 c = 0; c < run.columns; ++c)
                    m_columnNames[size_t(c)] = names[ColumnNameFormula]->at(size_t(c));
            }
            m_cellsDone.fetch_add(run.columns);
        }
    }

    // Cells count from 0 in row-major order over the range. Each cell is evaluated on its own, so
    // that what it reports is known by cell.
    void evaluateReporting(KXEquationCellProgram::Worker& worker, int block, qint64 firstCell, qint64 count,
                           KXCellStore& out, size_t at)
    {
        for (qint64 cell = firstCell; cell < firstCell + count; ++cell, ++at) {
            const int i = int(m_run.firstRow + cell / m_run.columns);
            const int j = int(m_run.firstColumn + cell % m_run.columns);
            const KXMessageSink::Capture capture;
            worker.writeRow(i, j, j, out, at);
            // A text said again and again is kept once with its count, which bounds the memory.
            std::vector<Report>& reports = m_reports[size_t(block)];
            for (const QString& text : capture.texts()) {
                if (!reports.empty() && reports.back().text == text)
                    ++reports.back().count;
                else
                    reports.push_back({cell, text, 1});
            }
        }
    }

    // The reference runs every task of a batch before it looks at their values, so it reports
    // what every cell before end says, and nothing after: the same cells are evaluated here for
    // their reports where the blocks stopped early, and what later cells said is dropped.
    void report(qint64 end)
    {
        if (std::none_of(std::begin(m_programs), std::end(m_programs),
                         [](const std::unique_ptr<KXEquationCellProgram>& program) {
                             return program && program->reports();
                         }))
            return;
        for (int block = 0; block < m_blockCount; ++block) {
            const qint64 blockEnd = std::min(end, (lastRow(block) + 1) * m_run.columns);
            for (int formula = 0; formula < FormulaCount; ++formula) {
                if (m_evaluatedEnd[size_t(block)] >= blockEnd || !m_programs[formula]
                    || !m_programs[formula]->reports())
                    continue;
                const auto worker = m_programs[formula]->makeWorker(m_run.options.cancel);
                KXCellStore ignored(1);
                for (qint64 cell = m_evaluatedEnd[size_t(block)]; cell < blockEnd && !m_run.cancelRequested(); ++cell)
                    evaluateReporting(*worker, block, cell, 1, ignored, 0);
            }
        }
        std::vector<Report> reports;
        for (const std::vector<Report>& block : m_reports)
            std::copy_if(block.begin(), block.end(), std::back_inserter(reports),
                         [end](const Report& report) { return report.cell < end; });
        std::stable_sort(reports.begin(), reports.end(),
                         [](const Report& a, const Report& b) { return a.cell < b.cell; });
        for (const Report& report : reports) {
            for (qint64 k = 0; k < report.count; ++k)
                KXMessageSink::report(KXMessageSink::Origin::Exception, report.text);
        }
    }

    // On the calling thread, which alone reads the header tables.
    void writeHeaders()
    {
        const Run& run = m_run;
        const QString header = run.equation->dataModelForHeader();
        for (qint64 r = 0; r < run.rows; ++r) {
            const QVariant kept = run.equation->keepVHeader()
                                      ? run.variables->getVariableModelVerticalHeader(header, headerSection(run.firstRow + r))
                                      : QVariant();
            if (!kept.isNull())
                run.output->setHeaderData(int(r), Qt::Vertical, kept, KXValueRole);
            else if (!m_rowNames.empty())
                run.output->setHeaderData(int(r), Qt::Vertical, m_rowNames[size_t(r)], KXValueRole);
        }
        for (qint64 c = 0; c < run.columns; ++c) {
            const QVariant kept =
                run.equation->keepHHeader()
                    ? run.variables->getVariableModelHorizontalHeader(header, headerSection(run.firstColumn + c))
                    : QVariant();
            if (!kept.isNull())
                run.output->setHeaderData(int(c), Qt::Horizontal, kept, KXValueRole);
            else if (!m_columnNames.empty())
                run.output->setHeaderData(int(c), Qt::Horizontal, m_columnNames[size_t(c)], KXValueRole);
        }
    }

    Run& m_run;
    std::unique_ptr<KXEquationCellProgram> m_programs[FormulaCount];
    qint64 m_rowsPerBlock = 1;
    int m_blockCount = 0;
    KXCellStore* m_cells = nullptr;
    std::vector<QVariant> m_rowNames;    // per output row, the row name of its last cell
    std::vector<QVariant> m_columnNames; // per output column, the column name of its last cell
    std::vector<CellFailure> m_failures; // per block; each written by the thread that runs it
    struct Report
    {
        qint64 cell; // the first cell that said it
        QString text;
        qint64 count;
    };
    std::vector<std::vector<Report>> m_reports; // per block, what its cells reported
    std::vector<qint64> m_evaluatedEnd;          // per block, the cell after the last one it evaluated
    int m_formulas = 0;
    std::atomic<int> m_nextBlock{0};
    std::atomic<int> m_firstFailedBlock{std::numeric_limits<int>::max()};
    std::atomic<qint64> m_cellsDone{0};

    std::atomic<bool> m_handedOver{false};

    struct HelperCount
    {
        std::mutex mutex;
        std::condition_variable changed;
        int count = 0;
    };
};

bool KXEquationComputation::Run::fast()
{
    Blocks blocks(*this);
    return blocks.compute();
}
