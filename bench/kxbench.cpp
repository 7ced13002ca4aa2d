// Computes tables through KXEquationComputation on the fast engine, and compares it with the
// reference engine (timed on a smaller grid, per cell), with the fast engine's program on one
// thread, and, when it is installed, with muparser on one thread. Prints a table and writes the
// figures to bench.json beside the bench folder (or to the path given as the first argument).
// Then the data path: numeric CSV files it generates (kept in csv/ beside bench.json for the
// peers' scripts) read and written, in MB/s of wall time, and the command line's end-to-end time.

#include "KXCsv.h"
#include "KXDataModel.h"
#include "KXEquationCellProgram.h"
#include "KXEquationCommand.h"
#include "KXEquationComputation.h"
#include "KXEquationInterpreter.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThreadPool>

#ifdef KX_HAVE_MUPARSER
#include <muParser.h>
#endif

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

namespace {
using Engine = KXEquationComputation::Engine;

struct Case {
    const char* formula;
    const char* muparserFormula; // null when muparser has no equivalent
    int rows;
    int columns;
};

const Case cases[] = {
    {"2*i+j", "2*i+j", 1000, 1000},
    {"sqrt(i)*sin(j)+1", "sqrt(i)*sin(j*_pi/180)+1", 1000, 1000},
    {"Input1(i,j)*2", nullptr, 1000, 1000},
    {"sum(k,1,10,k*i)", nullptr, 1000, 1000},
    {"if(i>j;i;j)", nullptr, 1000, 1000},
    {"2*i+j", "2*i+j", 10000, 1000},
};
// The reference costs microseconds per cell: it is timed on this many rows of the case's columns.
const int REFERENCE_ROWS = 20;

// A memory figure of the process in MiB: "VmHWM:" the peak since the last reset, "VmRSS:" now.
double memory(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const int length = int(qstrlen(field));
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(length).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

/// Seconds that KXEquationComputation takes for rows x columns cells; negative when it failed.
double computeSeconds(KXEquationVariableModel& variables, const QString& formula, int rows, int columns,
                      Engine engine)
{
    KXEquationModel equation;
    equation.setFormula(formula);
    equation.setRowStart(QStringLiteral("1"));
    equation.setRowEnd(QString::number(rows));
    equation.setColStart(QStringLiteral("1"));
    equation.setColEnd(QString::number(columns));
    KXEquationComputation computation(&equation, &variables);
    KXEquationComputation::Options options;
    options.engine = engine;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<KXDataModelGeneric> table(computation.compute(options));
    const double seconds = timer.nsecsElapsed() / 1e9;
    return table ? seconds : -1.0;
}

/// The fast engine's program run by one worker over the whole grid, one row buffer reused.
double oneThreadSeconds(const KXEquationVariableModel& variables, const QString& formula, int rows, int columns)
{
    KXEquationVariableModel cell(&variables);
    cell.addVariable(QStringLiteral("i"), -9999);
    cell.addVariable(QStringLiteral("j"), -9999);
    std::unique_ptr<KXEquationCommand> tree(KXEquationInterpreter(&cell).interpret(formula));
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<KXEquationCellProgram> program = compileCellProgram(*tree, cell);
    std::unique_ptr<KXEquationCellProgram::Worker> worker = program->makeWorker(nullptr);
    std::vector<QVariant> row(static_cast<size_t>(columns));
    double checksum = 0;
    for (int i = 1; i <= rows; ++i) {
        worker->evaluateRow(i, 1, columns, row.data());
        checksum += row.front().toDouble();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (checksum == 0.123)
        std::puts("");
    return seconds;
}

#ifdef KX_HAVE_MUPARSER
double muparserSeconds(const char* formula, int rows, int columns)
{
    mu::Parser parser;
    double i = 0, j = 0;
    parser.DefineVar("i", &i);
    parser.DefineVar("j", &j);
    parser.SetExpr(formula);
    QElapsedTimer timer;
    timer.start();
    double checksum = 0;
    for (int row = 1; row <= rows; ++row) {
        for (int column = 1; column <= columns; ++column) {
            i = row;
            j = column;
            checksum += parser.Eval();
        }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (checksum == 0.123)
        std::puts("");
    return seconds;
}
#else
double muparserSeconds(const char*, int, int)
{
    return -1.0;
}
#endif

double wallSeconds(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e9;
}

/// Figures of one numeric CSV file of rows x columns cells.
struct CsvFigures
{
    double megabytes = 0;
    double writeMBs = 0;
    double readMBs = 0;
    double bytesPerCell = 0;
};

/// Writes a table of uniform numbers in [0, 1000) at full precision, as the peers' file holds
/// them, then reads it back; a failure leaves the figures at 0.
CsvFigures csvFigures(const QString& path, int rows, int columns)
{
    CsvFigures figures;
    {
        KXDataModelGeneric table;
        table.createEmpty(columns, rows);
        std::mt19937_64 random(7);
        std::uniform_real_distribution<double> uniform(0.0, 1000.0);
        KXCellStore& cells = table.writableCells();
        for (qint64 cell = 0; cell < qint64(rows) * columns; ++cell)
            cells.setNumber(size_t(cell), uniform(random));
        for (int row = 0; row < rows; ++row)
            table.setHeaderData(row, Qt::Vertical, QStringLiteral("r%1").arg(row), KXValueRole);
        for (int column = 0; column < columns; ++column)
            table.setHeaderData(column, Qt::Horizontal, QStringLiteral("c%1").arg(column), KXValueRole);
        QElapsedTimer timer;
        timer.start();
        QString error;
        const KXByteProducer csv = [&table](const KXByteSink& sink) {
            return KXCsv::write(table, {KXNumberFormat::Precision::Full, false}, sink);
        };
        if (KXOutputFile::write(path, csv, &error) != KXFileStatus::Ok) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return figures;
        }
        const double seconds = wallSeconds(timer);
        figures.megabytes = QFileInfo(path).size() / 1e6;
        figures.writeMBs = figures.megabytes / seconds;
    }
    const double before = memory("VmRSS:");
    KXDataModelGeneric table;
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!KXCsv::readFile(path, table, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return figures;
    }
    figures.readMBs = figures.megabytes / wallSeconds(timer);
    figures.bytesPerCell = (memory("VmRSS:") - before) * 1048576.0 / (double(rows) * columns);
    return figures;
}

/// Wall time of the command line reading input, doubling every cell and writing the result.
double endToEndSeconds(const QString& input, const QString& output)
{
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../apps/kxequation/kxequation"),
                  {QStringLiteral("compute"), QStringLiteral("--dataset"), input, QStringLiteral("--formula"),
                   QStringLiteral("Input1(i,j)*2"), QStringLiteral("--output"), output});
    if (!program.waitForFinished(-1) || program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        return -1.0;
    return wallSeconds(timer);
}
}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QString jsonPath = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                      : QCoreApplication::applicationDirPath() + QStringLiteral("/../bench.json");
    const int size = 1000;
    auto input = std::make_unique<KXDataModelGeneric>();
    input->createEmpty(size, size);
    input->setName(QStringLiteral("bench"), QStringLiteral("input"));
    for (int r = 0; r < size; ++r) {
        for (int c = 0; c < size; ++c)
            input->setCell(r, c, double(r + c));
    }
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input1"), input.get(), QString());

    std::printf("cores (global thread pool): %d\n", QThreadPool::globalInstance()->maxThreadCount());
    std::printf("%-18s %11s %9s %9s %11s %9s %9s %10s %8s %8s %8s %9s\n", "formula", "grid", "fast s", "ns/cell",
                "ref ns/cell", "vs ref", "1-thr s", "muparser s", "vs mu", "peak MiB", "grew MiB", "table MiB");
    QJsonArray figures;
    for (const Case& benchCase : cases) {
        const QString formula = QString::fromLatin1(benchCase.formula);
        const double cells = double(benchCase.rows) * benchCase.columns;
        resetPeakMemory();
        const double before = memory("VmRSS:");
        const double fast = computeSeconds(variables, formula, benchCase.rows, benchCase.columns, Engine::Fast);
        const double peak = memory("VmHWM:");
        const double reference =
            computeSeconds(variables, formula, REFERENCE_ROWS, benchCase.columns, Engine::Reference)
            / (double(REFERENCE_ROWS) * benchCase.columns);
        const double oneThread = oneThreadSeconds(variables, formula, benchCase.rows, benchCase.columns);
        const double mu = benchCase.muparserFormula
                              ? muparserSeconds(benchCase.muparserFormula, benchCase.rows, benchCase.columns)
                              : -1.0;
        const QString grid = QStringLiteral("%1x%2").arg(benchCase.rows).arg(benchCase.columns);
        if (fast < 0 || reference < 0) {
            std::printf("%-18s %11s failed\n", benchCase.formula, qPrintable(grid));
            continue;
        }
        const double tableMiB = KXDataModelGeneric::tableBytes(benchCase.rows, benchCase.columns) / 1048576.0;
        std::printf("%-18s %11s %9.3f %9.1f %11.0f %8.0fx %9.3f", benchCase.formula, qPrintable(grid), fast,
                    fast / cells * 1e9, reference * 1e9, reference * cells / fast, oneThread);
        if (mu >= 0)
            std::printf(" %10.3f %8.2f", mu, fast / mu);
        else
            std::printf(" %10s %8s", "-", "-");
        std::printf(" %8.0f %8.0f %9.0f\n", peak, peak - before, tableMiB);

        QJsonObject object;
        object.insert(QStringLiteral("formula"), formula);
        object.insert(QStringLiteral("cells"), cells);
        object.insert(QStringLiteral("fast_s"), fast);
        object.insert(QStringLiteral("reference_s_per_cell"), reference);
        object.insert(QStringLiteral("one_thread_s"), oneThread);
        object.insert(QStringLiteral("muparser_s"), mu >= 0 ? QJsonValue(mu) : QJsonValue());
        object.insert(QStringLiteral("peak_rss_mib"), peak);
        figures.append(object);
    }
    std::printf("vs ref: reference time per cell over fast time per cell; vs mu: fast compute() over muparser "
                "on one thread (below 1: faster);\ngrew: peak resident memory above the resident memory before the "
                "fast computation\n");

    const QString csvFolder = QFileInfo(jsonPath).absolutePath() + QStringLiteral("/csv");
    QDir().mkpath(csvFolder);
    std::printf("\n%-12s %8s %10s %10s %10s\n", "numeric CSV", "MB", "write MB/s", "read MB/s", "bytes/cell");
    QJsonObject path;
    for (const int rows : {2000, 10000}) {
        const QString file = csvFolder + QStringLiteral("/m%1x1000.csv").arg(rows);
        const CsvFigures csv = csvFigures(file, rows, 1000);
        std::printf("%-12s %8.1f %10.0f %10.0f %10.1f\n", qPrintable(QStringLiteral("%1x1000").arg(rows)),
                    csv.megabytes, csv.writeMBs, csv.readMBs, csv.bytesPerCell);
        // The larger file gives the figures of record: the smaller one is over in a blink.
        if (rows == 10000) {
            path.insert(QStringLiteral("csv_read_mb_s"), csv.readMBs);
            path.insert(QStringLiteral("csv_write_mb_s"), csv.writeMBs);
            path.insert(QStringLiteral("bytes_per_cell"), csv.bytesPerCell);
        }
    }
    const QString csvInput = csvFolder + QStringLiteral("/m2000x1000.csv");
    const double endToEnd = endToEndSeconds(csvInput, csvFolder + QStringLiteral("/out2000x1000.csv"));
    std::printf("end to end: kxequation compute --dataset %s --formula 'Input1(i,j)*2' --output ...: %.3f s\n",
                qPrintable(csvInput), endToEnd);
    path.insert(QStringLiteral("end_to_end_s"), endToEnd >= 0 ? QJsonValue(endToEnd) : QJsonValue());
    figures.append(path);

    QFile json(jsonPath);
    if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(figures).toJson()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(jsonPath));
        return 1;
    }
    std::printf("figures written to %s\n", qPrintable(QFileInfo(jsonPath).canonicalFilePath()));
    return 0;
}
