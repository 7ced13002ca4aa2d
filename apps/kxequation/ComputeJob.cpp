#include "ComputeJob.h"

#include "KXCommandLine.h"
#include "KXCsv.h"
#include "KXDataModel.h"
#include "KXEquationCommand.h"
#include "KXEquationDocument.h"
#include "KXOutputOptions.h"
#include "KXEquationInterpreter.h"
#include "KXError.h"
#include "KXOutputFile.h"
#include "ReadErrorDisplay.h"
#include "TerminalProgress.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <signal.h>
#include <unistd.h>

namespace {
// Set by the SIGINT handler and polled by the computation; the handler also writes a byte to a
// pipe, which wakes the watchdog. Both are async-signal-safe.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the SIGINT flag must be lock-free");
int wakeWatchdog[2] = {-1, -1};

extern "C" void onInterrupt(int)
{
    interrupted.store(true);
    const char byte = 'i';
    if (write(wakeWatchdog[1], &byte, 1) < 0) {
        // Nothing to do: the flag alone still stops the computation.
    }
}

struct sigaction previousAction;

// Once interrupted, the computation stops within a row of cells; releasing a table of millions
// of cells can take longer than the user should wait. Before anything is written, nothing is
// lost by ending the process at once.
const int GRACE_MS = 20;
}

namespace KXCommandLine {

struct ComputeJob::Watchdog
{
    std::mutex mutex;
    std::condition_variable changed;
    bool writing = false;
    bool finished = false;
    std::thread thread;
};

ComputeJob::ComputeJob() : m_watchdog(std::make_unique<Watchdog>())
{
    if (pipe(wakeWatchdog) != 0)
        wakeWatchdog[0] = wakeWatchdog[1] = -1;
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousAction);
    Watchdog* watchdog = m_watchdog.get();
    watchdog->thread = std::thread([watchdog] {
        char byte = 0;
        if (read(wakeWatchdog[0], &byte, 1) != 1 || !interrupted.load())
            return;
        std::unique_lock<std::mutex> lock(watchdog->mutex);
        if (!watchdog->changed.wait_for(lock, std::chrono::milliseconds(GRACE_MS),
                                        [watchdog] { return watchdog->writing || watchdog->finished; }))
            _exit(Interrupted);
    });
}

ComputeJob::~ComputeJob()
{
    {
        std::lock_guard<std::mutex> lock(m_watchdog->mutex);
        m_watchdog->finished = true;
    }
    m_watchdog->changed.notify_all();
    const char byte = 'q';
    if (write(wakeWatchdog[1], &byte, 1) < 0) {
        // The pipe is gone: the watchdog never started waiting on it.
    }
    m_watchdog->thread.join();
    sigaction(SIGINT, &previousAction, nullptr);
    close(wakeWatchdog[0]);
    close(wakeWatchdog[1]);
}

void ComputeJob::addTable(QAbstractItemModel* table)
{
    if (!m_hasTable)
        KXEquationDocument::startFromTable(&equation, &variables, table);
    else
        KXEquationDocument::addDataset(&equation, &variables, table, QString(), true);
    m_hasTable = true;
}

void ComputeJob::setEngine(const QString& name)
{
    if (name == QLatin1String("fast"))
        m_engine = KXEquationComputation::Engine::Fast;
    else if (name == QLatin1String("reference"))
        m_engine = KXEquationComputation::Engine::Reference;
    else
        throw UsageError{QStringLiteral("--engine expects reference or fast, not '") + name + QLatin1Char('\'')};
}

/// A working-range text that cannot be read is named by its option, the module's message after it.
static bool rangeTextsReadable(const KXEquationModel& equation, KXEquationVariableModel& variables)
{
    const QPair<const char*, QString> fields[] = {{"--first-row", equation.rowStart()},
                                                  {"--last-row", equation.rowEnd()},
                                                  {"--first-col", equation.colStart()},
                                                  {"--last-col", equation.colEnd()}};
    for (const auto& field : fields) {
        try {
            std::unique_ptr<KXEquationCommand>(KXEquationInterpreter(&variables).interpret(field.second));
        } catch (const KXError& error) {
            printError(QStringLiteral("error: %1: %2").arg(QLatin1String(field.first), error.message()));
            return false;
        }
    }
    return true;
}

int ComputeJob::computeAndWrite(const QString& output, const OutputOptions& outputOptions, const QString& save)
{
    if (!rangeTextsReadable(equation, variables))
        return Failed;
    std::unique_ptr<TerminalProgress> progress;
    KXEquationComputation::Options options;
    options.engine = m_engine;
    options.cancel = &interrupted;
    if (isatty(STDERR_FILENO)) {
        progress = std::make_unique<TerminalProgress>();
        options.progress = [&progress](qint64 done, qint64 total) {
            if (!progress->started())
                progress->start(total, QCoreApplication::translate("KXEquationCtrl", "Calculations in progress",
                                                                   "Calculs en cours"));
            progress->progress(done, false);
        };
        options.evaluated = [&progress] { progress->finish(); };
    }
    KXEquationComputation computation(&equation, &variables);
    std::unique_ptr<KXDataModelGeneric> table(computation.compute(options));
    if (progress)
        progress->finish();
    {
        std::lock_guard<std::mutex> lock(m_watchdog->mutex);
        if (interrupted.load())
            return Interrupted;
        // From here on Ctrl-C waits for the output to be written whole.
        m_watchdog->writing = true;
    }
    m_watchdog->changed.notify_all();
    if (!table) {
        if (const auto failure = computation.readingFailure())
            printReadError(*failure);
        return Failed;
    }
    if (!writePlot(*table, outputOptions))
        return Failed;
    QString error;
    KXFileStatus status = KXFileStatus::Ok;
    if (!save.isEmpty() && !KXEquationDocument::save(&equation, &variables, save, &error, &status))
        throw KXExitStatus::Error{KXExitStatus::forFile(status), error};
    // Streamed: an output of any size costs a few blocks of text.
    const KXByteProducer csv = [&](const KXByteSink& sink) { return KXCsv::write(*table, outputOptions.csv, sink); };
    status = output.isEmpty() ? KXOutputFile::writeStandardOutput(csv, &error) : KXOutputFile::write(output, csv, &error);
    if (status != KXFileStatus::Ok)
        throw KXExitStatus::Error{KXExitStatus::forFile(status), error};
    return Success;
}

}
