#pragma once

#include "KXCellStore.h"
#include "kxequation_global.h"

#include <QVariant>

#include <atomic>
#include <memory>

class KXEquationCommand;
class KXEquationVariableModel;

/// One formula made ready to evaluate many cells: built once on the calling thread from an
/// interpreted tree and the variable model it was read on (holding "i" and "j"), then shared
/// read-only by the workers, each of which evaluates through a Worker of its own.
class KXEQUATION_EXPORT KXEquationCellProgram
{
public:
    /// The state of one thread's evaluations; never shared between threads.
    class Worker
    {
    public:
        virtual ~Worker() = default;
        /// Writes into the cells at, at + 1, ... of out the values that the tree's evaluate() gives
        /// with "i" = row and "j" = column, for each column from firstColumn to lastColumn (range
        /// numbering).
        virtual void writeRow(int row, int firstColumn, int lastColumn, KXCellStore& out, size_t at) = 0;
        /// The same into out[0 .. lastColumn - firstColumn], for callers that want QVariants.
        void evaluateRow(int row, int firstColumn, int lastColumn, QVariant* out)
        {
            KXCellStore cells(size_t(qint64(lastColumn) - firstColumn + 1));
            writeRow(row, firstColumn, lastColumn, cells, 0);
            for (size_t at = 0; at < cells.size(); ++at)
                out[at] = cells.at(at);
        }
    };

    virtual ~KXEquationCellProgram() = default;
    /// Safe to call from several threads at once. Long loops inside a cell give up early, with an
    /// error value, once *cancel (when given) is true.
    virtual std::unique_ptr<Worker> makeWorker(const std::atomic<bool>* cancel) const = 0;
    /// Whether evaluating a cell may report a message (a walked var or stdDev reports the formula
    /// text it could not read).
    virtual bool reports() const { return true; }
};

/// The tree itself, walked cell by cell on one clone and one variable-model copy per worker.
KXEQUATION_EXPORT std::unique_ptr<KXEquationCellProgram>
makeTreeWalkProgram(const KXEquationCommand& tree, const KXEquationVariableModel& variables);

/// The tree compiled once into a flat program; nodes that cannot be compiled are walked.
KXEQUATION_EXPORT std::unique_ptr<KXEquationCellProgram>
compileCellProgram(const KXEquationCommand& tree, const KXEquationVariableModel& variables);
