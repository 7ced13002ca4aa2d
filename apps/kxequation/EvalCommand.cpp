#include "KXCommandLine.h"

#include "KXDataModel.h"
#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXEquationFacts.h"
#include "ReadErrorDisplay.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include <signal.h>
#include <unistd.h>

namespace {

const int StoppingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onStop(int signal)
{
    _exit(128 + signal);
}

/// While a formula is evaluated, which nothing bounds (sum(k,1,1e5,sum(m,1,1e5,1)) takes hours): a
/// terminal is told each second how long it has run and that Ctrl-C stops it; SIGINT, SIGTERM and
/// SIGHUP end the program with 128 and the signal's number, as for a computation.
class EvaluationWatch
{
public:
    EvaluationWatch()
    {
        struct sigaction action = {};
        action.sa_handler = onStop;
        sigemptyset(&action.sa_mask);
        for (int k = 0; k < 3; ++k)
            sigaction(StoppingSignals[k], &action, &m_previousActions[k]);
        if (isatty(STDERR_FILENO))
            m_thread = std::thread([this] { watch(); });
    }
    ~EvaluationWatch()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        for (int k = 0; k < 3; ++k)
            sigaction(StoppingSignals[k], &m_previousActions[k], nullptr);
    }

private:
    void watch()
    {
        QElapsedTimer elapsed;
        elapsed.start();
        bool drawn = false;
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_changed.wait_for(lock, std::chrono::seconds(1), [this] { return m_finished; })) {
            const QByteArray line = QCoreApplication::translate("KXCommandLine", "\rStill evaluating after %1 s (Ctrl-C stops)",
                                                                "\rÉvaluation en cours depuis %1 s (Ctrl-C l'arrête)")
                                        .arg(elapsed.elapsed() / 1000)
                                        .toUtf8();
            std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
            std::fflush(stderr);
            drawn = true;
        }
        if (drawn)
            std::fputs("\r\033[K", stderr);
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_finished = false;
    std::thread m_thread;
    struct sigaction m_previousActions[3];
};

struct EvalOptions {
    QList<QPair<QString, double>> constants;
    QList<QPair<QString, QString>> datasets;
    bool hasCell = false;
    double row = KXNoValue;
    double column = KXNoValue;
    bool describe = false;
    bool hasSeed = false;
    quint64 seed = 0;
    QString formula;
};

EvalOptions parseEval(const QStringList& arguments)
{
    using namespace KXCommandLine;
    EvalOptions options;
    Arguments walker(arguments);
    QStringList formulas;
    QString option;
    bool plain = false;
    while (walker.take(&option, &plain)) {
        if (plain) {
            formulas.append(option);
        } else if (option == QLatin1String("--lang")) {
            chooseLanguage(walker.value(option));
        } else if (option == QLatin1String("--const")) {
            QString name, value;
            splitAssignment(option, walker.value(option), &name, &value);
            options.constants.append({name, parseNumber(option, value)});
        } else if (option == QLatin1String("--dataset")) {
            QString name, file;
            splitAssignment(option, walker.value(option), &name, &file);
            options.datasets.append({name, file});
        } else if (option == QLatin1String("--cell")) {
            const QStringList parts = walker.value(option).split(QLatin1Char(','));
            if (parts.size() != 2)
                throw UsageError{QStringLiteral("--cell expects I,J")};
            options.hasCell = true;
            options.row = parseNumber(option, parts.at(0));
            options.column = parseNumber(option, parts.at(1));
        } else if (option == QLatin1String("--describe")) {
            options.describe = true;
        } else if (option == QLatin1String("--seed")) {
            options.seed = parseSeed(option, walker.value(option));
            options.hasSeed = true;
        } else {
            throw UsageError{QStringLiteral("unknown option ") + option};
        }
    }
    if (formulas.isEmpty())
        throw UsageError{QStringLiteral("eval needs a formula")};
    if (formulas.size() > 1)
        throw UsageError{QStringLiteral("eval takes one formula; quote it")};
    options.formula = blanksAsEmpty(formulas.first());
    return options;
}
}

namespace KXCommandLine {

int runEval(const QStringList& arguments)
{
    const EvalOptions options = parseEval(arguments);

    KXEquationVariableModel variables;
    const quint64 seed = options.hasSeed ? options.seed : KXEquationModel::freshSeed();
    if (!options.hasSeed)
        noteFreshSeed({options.formula}, seed);
    variables.setRandomSeed(seed);
    for (const auto& constant : options.constants)
        variables.addVariable(constant.first, constant.second);
    std::vector<std::unique_ptr<KXDataModelGeneric>> tables;
    for (const auto& dataset : options.datasets) {
        tables.push_back(readTable(dataset.second));
        variables.addVariable(dataset.first, tables.back().get(), QString());
    }
    // As the computation does, the cell position is known to the reader before it reads.
    variables.addVariable(QStringLiteral("i"), options.row);
    variables.addVariable(QStringLiteral("j"), options.column);

    std::unique_ptr<KXEquationCommand> tree;
    try {
        tree.reset(KXEquationInterpreter(&variables).interpret(options.formula));
    } catch (const KXError& error) {
        print(QStringLiteral("raised ") + error.message());
        if (const auto* located = dynamic_cast<const KXEquationReadError*>(&error))
            printReadError(*located, variables);
        return Raised;
    }
    if (options.describe) {
        print(QStringLiteral("form: ") + tree->toString());
        print(QStringLiteral("depends-on-cell: ") + (tree->isRangeVariable() ? QStringLiteral("true")
                                                                              : QStringLiteral("false")));
    }
    QVariant value;
    {
        EvaluationWatch watch;
        value = tree->evaluate();
    }
    print(describeValue(value));
    return KXEquationCommand::getError(value) ? ErrorValue : Success;
}

}
