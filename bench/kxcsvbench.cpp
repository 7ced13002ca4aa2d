// Time and memory of reading large CSV files: numbers, and blank lines. Prints one line per file.
// usage: kxcsvbench [MEGABYTES]   (default 200; the file is made in a temporary folder)

#include "KXCsv.h"
#include "KXDataModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <fstream>
#include <random>
#include <string>

namespace {

/// The peak resident size since the last reset, in bytes.
qint64 peakResident()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    }
    return 0;
}

/// Processor time of this process, user and system, in seconds: the machine may be shared.
double processorSeconds()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void resetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

/// A table of numbers only: the row number, then ten numbers such as 0.48213 or 1234.5.
qint64 writeNumbers(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(0.0, 10000.0);
    file.write(",c1,c2,c3,c4,c5,c6,c7,c8,c9,c10\n");
    QByteArray piece;
    char field[32];
    for (qint64 row = 1; file.size() + piece.size() < bytes; ++row) {
        piece += QByteArray::number(row);
        for (int column = 0; column < 10; ++column)
            piece.append(field, std::snprintf(field, sizeof field, ",%.6g", value(random)));
        piece += '\n';
        if (piece.size() > (1 << 20)) {
            file.write(piece);
            piece.clear();
        }
    }
    file.write(piece);
    return file.size();
}

qint64 writeBlankLines(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    file.write(",a\n");
    const QByteArray piece(1 << 20, '\n');
    while (file.size() < bytes)
        file.write(piece);
    return file.size();
}

void measure(const char* label, const QString& path, qint64 size)
{
    resetPeakResident();
    const qint64 before = peakResident();
    QElapsedTimer timer;
    timer.start();
    const double processorBefore = processorSeconds();
    KXDataModelGeneric table;
    QString error;
    const bool read = KXCsv::readFile(path, table, &error);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double processor = processorSeconds() - processorBefore;
    const qint64 peak = peakResident() - before;
    std::printf("%-14s %7.1f MB  %s %8d rows x %2d  %6.2f s (cpu %5.2f s, %6.1f MB/s)  peak +%6.1f MB = %4.2f x file\n",
                label, size / 1e6, read ? "read   " : "refused", table.rowCount(), table.columnCount(), seconds,
                processor, size / 1e6 / processor, peak / 1e6, double(peak) / double(size));
    if (!read)
        std::printf("               %s\n", qPrintable(error));
}

}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
    QTemporaryDir folder;
    const QString numbers = folder.filePath(QStringLiteral("numbers.csv"));
    const QString small = folder.filePath(QStringLiteral("small.csv"));
    const QString blank = folder.filePath(QStringLiteral("blank.csv"));
    measure("numbers 20 MB", small, writeNumbers(small, 20 * 1000 * 1000));
    QFile::remove(small);
    measure("numbers", numbers, writeNumbers(numbers, megabytes * 1000 * 1000));
    QFile::remove(numbers);
    measure("blank lines", blank, writeBlankLines(blank, 70 * 1000 * 1000));
    return 0;
}
