#pragma once

#include "KXEquationComputation.h"
#include "KXExitStatus.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QAbstractItemModel;

namespace KXCommandLine {

struct OutputOptions;

/// An equation set up and computed without the module controller: the models, the engine, and
/// Ctrl-C (SIGTERM and SIGHUP alike), which stops the computation with 128 and the signal's number
/// and leaves any output file as it was; once the table is computed, it waits for it to be written.
class ComputeJob
{
public:
    /// From now on SIGINT, SIGTERM and SIGHUP stop the computation instead of the program.
    ComputeJob();
    ~ComputeJob();

    /// The first table starts the module (it names the output), the others are dropped on it.
    void addTable(QAbstractItemModel* table);
    /// "reference" or "fast"; throws UsageError for anything else.
    void setEngine(const QString& name);
    /// How a working-range text that cannot be read is named: first row, last row, first column,
    /// last column (by default the options of compute).
    void setRangeFieldNames(const QStringList& names);

    /// Computes and writes the table as CSV to output, or to standard output when it is empty,
    /// and its chart when asked, and only then the equation file when save names one. A
    /// working-range text that cannot be read is named by its option. A file that cannot be
    /// written throws KXExitStatus::Error.
    int computeAndWrite(const QString& output, const OutputOptions& outputOptions,
                        const QString& save = QString());

    /// Parent of the tables reopened for the variables of a loaded equation; outlives variables.
    QObject tables;
    KXEquationModel equation;
    KXEquationVariableModel variables;

private:
    struct Watchdog;
    std::unique_ptr<Watchdog> m_watchdog;
    KXEquationComputation::Engine m_engine = KXEquationComputation::Engine::Fast;
    bool m_hasTable = false;
    QStringList m_rangeFields = {QStringLiteral("--first-row"), QStringLiteral("--last-row"),
                                 QStringLiteral("--first-col"), QStringLiteral("--last-col")};
};

}
