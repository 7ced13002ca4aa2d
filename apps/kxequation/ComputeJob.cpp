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
// Set by the handler of SIGINT, SIGTERM and SIGHUP and polled by the computation; the handler
// also writes a byte to a pipe, which wakes the watchdog. All three are async-signal-safe.
std::atomic<bool> interrupted{false};
std::atomic<int> stoppingSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free, "the interruption flag must be lock-free");
static_assert(std::atomic<int>::is_always_lock_free, "the signal number must be lock-free");
int wakeWatchdog[2] = {-1, -1};

// The signals that stop a computation as Ctrl-C does, each ending with its own status.
const int StoppingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onInterrupt(int signal)
{
    int none = 0;
    stoppingSignal.compare_exchange_strong(none, signal);
    interrupted.store(true);
    const char byte = 'i';
    if (write(wakeWatchdog[1], &byte, 1) < 0) {
        // Nothing to do: the flag alone still stops the computation.
    }
}

struct sigaction previousActions[3];

// Once interrupted, the computation stops within a row of cells; releasing a table of millions
// of cells can take longer than the user should wait. Before anything is written, nothing is
// lost by ending the process at once.
const int GRACE_MS = 20;

int stoppedStatus()
{
    return 128 + stoppingSignal.load();
}
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
    for (int k = 0; k < 3; ++k)
        sigaction(StoppingSignals[k], &action, &previousActions[k]);
    Watchdog* watchdog = m_watchdog.get();
    watchdog->thread = std::thread([watchdog] {
        char byte = 0;
        if (read(wakeWatchdog[0], &byte, 1) != 1 || !interrupted.load())
            return;
        std::unique_lock<std::mutex> lock(watchdog->mutex);
        if (!watchdog->changed.wait_for(lock, std::chrono::milliseconds(GRACE_MS),
                                        [watchdog] { return watchdog->writing || watchdog->finished; }))
            _exit(stoppedStatus());
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
    for (int k = 0; k < 3; ++k)
        sigaction(StoppingSignals[k], &previousActions[k], nullptr);
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

void ComputeJob::setRangeFieldNames(const QStringList& names)
{
    m_rangeFields = names;
}

int ComputeJob::computeAndWrite(const QString& output, const OutputOptions& outputOptions, const QString& save)
{
    std::unique_ptr<TerminalProgress> progress;
    KXEquationComputation::Options options;
    options.engine = m_engine;
    options.cancel = &interrupted;
    // A working-range text that cannot be read is named by its option (or its file's field).
    options.rangeFieldNames = m_rangeFields;
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
            return stoppedStatus();
        // From here on Ctrl-C waits for the output to be written whole.
        m_watchdog->writing = true;
    }
    m_watchdog->changed.notify_all();
    if (!table) {
        if (const auto failure = computation.readingFailure())
            printReadError(*failure, variables);
        return Failed;
    }
    QString error;
    KXFileStatus status = KXFileStatus::Ok;
    if (!writePlot(*table, outputOptions, &error, &status))
        throw KXExitStatus::Error{KXExitStatus::forFile(status), error};
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
