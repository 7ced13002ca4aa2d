#include "KXCommandLine.h"
#include "KXOutputOptions.h"
#include "KXExitStatus.h"
#include "KXOutputFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextCodec>

#include <cstdio>
#include <memory>

namespace KXCommandLine {
int runEval(const QStringList& arguments);
int runCompute(const QStringList& arguments);
int runRun(const QStringList& arguments);
}

namespace {
const char USAGE[] =
    "usage:\n"
    "  kxequation eval [--lang en|fr] [--const NAME=VALUE]... [--dataset NAME=FILE.csv]...\n"
    "                  [--cell I,J] [--describe] [--seed N] [--] FORMULA\n"
    "  kxequation compute [--lang en|fr] [--const NAME=VALUE]... [--dataset FILE.csv]... --formula F\n"
    "                  [--first-row T] [--last-row T] [--first-col T] [--last-col T]\n"
    "                  [--row-name F] [--col-name F] [--header-dataset NAME]\n"
    "                  [--headers yes|no] [--row-headers yes|no] [--col-headers yes|no]\n"
    "                  [--output FILE.csv] [--save EQUATION.xml] [--engine fast|reference] [--seed N]\n"
    "                  [--precision readable|full] [--no-value empty|marker] [--plot FILE.png|.svg]\n"
    "  kxequation run EQUATION.xml [--project DIR] [--lang en|fr] [--output FILE.csv]\n"
    "                  [--engine fast|reference] [--seed N]\n"
    "                  [--precision readable|full] [--no-value empty|marker] [--plot FILE.png|.svg]\n"
    "\n"
    "eval reads FORMULA, evaluates it once and prints its value: double X, int N, float X,\n"
    "bool true|false, text S, list [...], invalid, or error MESSAGE; raised MESSAGE when the\n"
    "formula cannot be read.\n"
    "\n"
    "compute builds an equation from its options and computes its table; run loads an equation\n"
    "file, reopening its datasets from the project folder DIR (default: the current folder), and\n"
    "computes it. Both write the table as CSV to FILE.csv or to standard output; a failed\n"
    "computation prints its messages on stderr and leaves the output and the --save file as they\n"
    "were. Ctrl-C stops the computation: exit status 130, and FILE.csv is neither written nor\n"
    "changed; SIGTERM and SIGHUP likewise, with 143 and 129. Every output (--output, --save,\n"
    "--plot) is a regular file replaced at once, keeping its permissions (a read-only file is\n"
    "refused), or a device or a FIFO written into; - and /dev/stdout write into standard output.\n"
    "Two outputs that are one file, or an output that is an input, are refused. The fast\n"
    "engine (default) computes blocks of rows on every core; reference one task per cell.\n"
    "Numbers are written with up to 15 significant digits (full: the shortest text that reads\n"
    "back to the same double), cells without a value as empty fields (marker: -9999). --plot\n"
    "also draws the table: one line per column, or a colour map for more than 8 columns.\n"
    "rand draws from the seed N (0 to 18446744073709551615): the same seed gives the same\n"
    "values. run takes the equation file's seed; without --seed, compute and eval pick one and\n"
    "print it on stderr as a note when the formula draws.\n"
    "\n"
    "Exit status:\n"
    "    0  success\n"
    "    1  a formula or computation failure (eval: the value is an error)\n"
    "    2  eval: the formula cannot be read\n"
    "   64  wrong command line (the only case that prints this text)\n"
    "   65  malformed input data: a CSV or equation file, with its line and the reason, or a file\n"
    "       too large (CSV 256 MiB, equation file 16 MiB)\n"
    "   66  an input that cannot be opened: missing, unreadable, a folder\n"
    "   73  an output that cannot be created or replaced\n"
    "   74  a write error, standard output included\n"
    "  129  stopped by SIGHUP\n"
    "  130  interrupted (Ctrl-C)\n"
    "  143  stopped by SIGTERM\n";

void printUsage(FILE* stream)
{
    std::fputs(USAGE, stream);
}
}

int main(int argc, char* argv[])
{
    // Arguments, file names and output are UTF-8 whatever the locale of the environment.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    // Only a chart needs a QGuiApplication, and then no display: it is drawn offscreen.
    std::unique_ptr<QTemporaryDir> runtime;
    std::unique_ptr<QCoreApplication> application;
    if (KXCommandLine::wantsPlot(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Without a runtime folder Qt warns on standard error; a private one of our own keeps it quiet.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            runtime = std::make_unique<QTemporaryDir>();
            if (runtime->isValid())
                qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime->path()));
        }
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList arguments;
    for (int k = 1; k < argc; ++k)
        arguments.append(QString::fromUtf8(argv[k]));

    if (arguments.isEmpty()) {
        printUsage(stderr);
        return KXCommandLine::Usage;
    }
    const QString command = arguments.takeFirst();
    int status = KXExitStatus::Success;
    try {
        if (command == QLatin1String("--help") || command == QLatin1String("help")
            || arguments.contains(QStringLiteral("--help")))
            KXCommandLine::print(QString::fromLatin1(USAGE).chopped(1));
        else if (command == QLatin1String("eval"))
            status = KXCommandLine::runEval(arguments);
        else if (command == QLatin1String("compute"))
            status = KXCommandLine::runCompute(arguments);
        else if (command == QLatin1String("run"))
            status = KXCommandLine::runRun(arguments);
        else
            throw KXCommandLine::UsageError{QStringLiteral("unknown command ") + command};
    } catch (const KXCommandLine::UsageError& error) {
        KXCommandLine::printError(QStringLiteral("kxequation: ") + error.message);
        printUsage(stderr);
        return KXExitStatus::Usage;
    } catch (const KXExitStatus::Error& error) {
        KXCommandLine::printError(QStringLiteral("kxequation: ") + error.message);
        return error.status;
    }
    // What is still buffered may fail to reach a full disk: that is a failure too.
    QString error;
    if (KXOutputFile::finishStandardOutput(&error) != KXFileStatus::Ok) {
        KXCommandLine::printError(QStringLiteral("kxequation: ") + error);
        return KXExitStatus::IoError;
    }
    return status;
}
