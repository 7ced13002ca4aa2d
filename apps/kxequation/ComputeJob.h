#pragma once

#include "KXEquationComputation.h"
#include "KXExitStatus.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"

#include <QObject>
#include <QString>

#include <memory>

class QAbstractItemModel;

namespace KXCommandLine {

struct OutputOptions;

/// The exit status of a computation stopped by Ctrl-C, as shells report a SIGINT.
const int Interrupted = KXExitStatus::Interrupted;

/// An equation set up and computed without the module controller: the models, the engine, and
/// Ctrl-C, which stops the computation and leaves any output file as it was; once the table is
/// computed, Ctrl-C waits for it to be written.
class ComputeJob
{
public:
    /// From now on SIGINT stops the computation instead of the program.
    ComputeJob();
    ~ComputeJob();

    /// The first table starts the module (it names the output), the others are dropped on it.
    void addTable(QAbstractItemModel* table);
    /// "reference" or "fast"; throws UsageError for anything else.
    void setEngine(const QString& name);

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
};

}
