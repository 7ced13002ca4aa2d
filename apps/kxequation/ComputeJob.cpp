#include "ComputeJob.h"

#include "KXCommandLine.h"
#include "KXCsv.h"
#include "KXDataModel.h"
#include "KXEquationDocument.h"
#include "TerminalProgress.h"

#include <QCoreApplication>

#include <atomic>
#include <memory>

#include <signal.h>
#include <unistd.h>

namespace {
// Set by the SIGINT handler and polled by the computation: a lock-free atomic is signal-safe.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the SIGINT flag must be lock-free");

extern "C" void onInterrupt(int)
{
    interrupted.store(true);
}

struct sigaction previousAction;
}

namespace KXCommandLine {

ComputeJob::ComputeJob()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousAction);
}

ComputeJob::~ComputeJob()
{
    sigaction(SIGINT, &previousAction, nullptr);
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

int ComputeJob::computeAndWrite(const QString& output)
{
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
    if (computation.outcome() == KXEquationComputation::Outcome::Cancelled || interrupted.load())
        return Interrupted;
    if (!table)
        return Failed;
    if (output.isEmpty()) {
        const QByteArray csv = KXCsv::write(*table);
        std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
        return Success;
    }
    QString error;
    if (!KXCsv::writeFile(output, *table, &error)) {
        printError(QStringLiteral("error: ") + error);
        return Failed;
    }
    return Success;
}

}
