#include "KXCommandLine.h"
#include "KXOutputOptions.h"

#include <QCoreApplication>
#include <QGuiApplication>
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
    "                  [--cell I,J] [--describe] [--] FORMULA\n"
    "  kxequation compute [--lang en|fr] [--const NAME=VALUE]... [--dataset FILE.csv]... --formula F\n"
    "                  [--first-row T] [--last-row T] [--first-col T] [--last-col T]\n"
    "                  [--row-name F] [--col-name F] [--header-dataset NAME]\n"
    "                  [--headers yes|no] [--row-headers yes|no] [--col-headers yes|no]\n"
    "                  [--output FILE.csv] [--save EQUATION.xml] [--engine fast|reference]\n"
    "                  [--precision readable|full] [--no-value empty|marker] [--plot FILE.png|.svg]\n"
    "  kxequation run EQUATION.xml [--project DIR] [--lang en|fr] [--output FILE.csv]\n"
    "                  [--engine fast|reference]\n"
    "                  [--precision readable|full] [--no-value empty|marker] [--plot FILE.png|.svg]\n"
    "\n"
    "eval reads FORMULA, evaluates it once and prints its value: double X, int N, float X,\n"
    "bool true|false, text S, list [...], invalid, or error MESSAGE; raised MESSAGE when the\n"
    "formula cannot be read. Exit status: 0 value, 1 error value, 2 unreadable formula,\n"
    "64 wrong command line.\n"
    "\n"
    "compute builds an equation from its options and computes its table; run loads an equation\n"
    "file, reopening its datasets from the project folder DIR (default: the current folder), and\n"
    "computes it. Both write the table as CSV to FILE.csv or to standard output; a failed\n"
    "computation prints its messages on stderr, exits 1 and leaves no output file. Ctrl-C stops\n"
    "the computation: exit status 130, and FILE.csv is neither written nor changed. The fast\n"
    "engine (default) computes blocks of rows on every core; reference computes one task per cell.\n"
    "Numbers are written with up to 15 significant digits (full: the shortest text that reads\n"
    "back to the same double), cells without a value as empty fields (marker: -9999). --plot\n"
    "also draws the table: one line per column, or a colour map for more than 8 columns.\n";

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
    std::unique_ptr<QCoreApplication> application;
    if (KXCommandLine::wantsPlot(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
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
    if (command == QLatin1String("--help") || command == QLatin1String("help") || arguments.contains(QStringLiteral("--help"))) {
        printUsage(stdout);
        return KXCommandLine::Success;
    }
    try {
        if (command == QLatin1String("eval"))
            return KXCommandLine::runEval(arguments);
        if (command == QLatin1String("compute"))
            return KXCommandLine::runCompute(arguments);
        if (command == QLatin1String("run"))
            return KXCommandLine::runRun(arguments);
        throw KXCommandLine::UsageError{QStringLiteral("unknown command ") + command};
    } catch (const KXCommandLine::UsageError& error) {
        KXCommandLine::printError(QStringLiteral("kxequation: ") + error.message);
        printUsage(stderr);
        return KXCommandLine::Usage;
    }
}
