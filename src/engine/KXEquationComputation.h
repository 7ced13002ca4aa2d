#pragma once

#include "kxequation_global.h"

#include <QStringList>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>

class KXDataModelGeneric;
class KXEquationModel;
class KXError;
class KXEquationReadError;
class KXEquationVariableModel;
namespace KXEquationDocument {
enum class RangeField;
}

/// An equation's output table, without any widget: the working range, the formula trees, every
/// cell and the headers. Failures are reported through the host's message sink, cell failures
/// followed by a line that names the cell.
class KXEQUATION_EXPORT KXEquationComputation
{
public:
    enum class Engine {
        Fast,      // blocks of whole rows on the global pool, one compiled program per formula
        Reference, // one task per cell and formula, results collected in batches
    };
    enum class Outcome { Done, Failed, Cancelled };

    struct Options
    {
        Engine engine = Engine::Fast;
        /// Called on the computing thread with (cells done, total) as the cells advance: per block
        /// on the fast engine, per task counter step on the reference (which may pass the total
        /// when naming formulas are set). Not called for a formula that is the same in every cell.
        std::function<void(qint64 done, qint64 total)> progress;
        /// Called once every cell is evaluated, before the last results are written.
        std::function<void()> evaluated;
        /// Another thread may set it: the computation then stops soon, reports no error and
        /// returns null.
        const std::atomic<bool>* cancel = nullptr;
        /// When false, a formula or working-range text that cannot be read is not reported: the
        /// caller shows readingFailure() or rangeFailure(), which say where, itself.
        bool reportReadingFailure = true;
        /// When given, the names of the first row, last row, first column and last column: a
        /// working-range text that cannot be read is reported as "NAME: message".
        QStringList rangeFieldNames;
    };

    /// Works on the given models, which must outlive it and stay unchanged while it computes,
    /// except for the temporary constants "i" and "j".
    KXEquationComputation(const KXEquationModel* equation, KXEquationVariableModel* variables);

    /// The whole computation; the caller owns the table. Null when it failed (the failure has then
    /// been reported) or was cancelled.
    KXDataModelGeneric* compute(const Options& options);
    /// On the fast engine, without progress or cancel.
    KXDataModelGeneric* compute();

    Outcome outcome() const { return m_outcome; }
    /// Whether the last failure was a cell's, and that cell's range numbers i and j.
    bool hasFailedCell() const { return m_hasFailedCell; }
    int failedRow() const { return m_failedRow; }
    int failedColumn() const { return m_failedColumn; }
    /// Whether the last computation failed at a working-range text, and at which.
    bool hasFailedRangeField() const { return m_hasFailedRangeField; }
    KXEquationDocument::RangeField failedRangeField() const { return m_failedRangeField; }
    /// The failure of that text (a KXEquationReadError when it could not be read); null when none.
    std::shared_ptr<const KXError> rangeFailure() const { return m_rangeFailure; }
    /// Where the last computation could not read the formula or a name formula; null when it could.
    std::shared_ptr<const KXEquationReadError> readingFailure() const { return m_readingFailure; }


private:
    class Run;

    const KXEquationModel* m_equation;
    KXEquationVariableModel* m_variables;
    Outcome m_outcome = Outcome::Done;
    bool m_hasFailedCell = false;
    int m_failedRow = 0;
    int m_failedColumn = 0;
    bool m_hasFailedRangeField = false;
    KXEquationDocument::RangeField m_failedRangeField{};
    std::shared_ptr<const KXError> m_rangeFailure;
    std::shared_ptr<const KXEquationReadError> m_readingFailure;
};
