#include "KXOutputOptions.h"

#include "KXChart.h"
#include "KXCommandLine.h"
#include "KXDataModel.h"
#include "KXOutputFile.h"

#include <QFileInfo>

#include <cstring>

namespace {
const QSize PlotSize(960, 600);
}

namespace KXCommandLine {

bool takeOutputOption(const QString& option, Arguments& walker, OutputOptions* options)
{
    if (option == QLatin1String("--precision")) {
        const QString value = walker.value(option);
        if (value != QLatin1String("readable") && value != QLatin1String("full"))
            throw UsageError{option + QStringLiteral(" expects readable or full, not '") + value + QLatin1Char('\'')};
        options->csv.precision =
            value == QLatin1String("full") ? KXNumberFormat::Precision::Full : KXNumberFormat::Precision::Readable;
    } else if (option == QLatin1String("--no-value")) {
        const QString value = walker.value(option);
        if (value != QLatin1String("empty") && value != QLatin1String("marker"))
            throw UsageError{option + QStringLiteral(" expects empty or marker, not '") + value + QLatin1Char('\'')};
        options->csv.noValueMarker = value == QLatin1String("marker");
    } else if (option == QLatin1String("--plot")) {
        options->plot = outputPath(option, walker.value(option));
        if (!options->plot.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)
            && !options->plot.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
            throw UsageError{option + QStringLiteral(" expects a file ending in .png or .svg, not '") + options->plot
                             + QLatin1Char('\'')};
    } else {
        return false;
    }
    return true;
}

bool writePlot(const KXDataModelGeneric& table, const OutputOptions& options, QString* error, KXFileStatus* status)
{
    if (options.plot.isEmpty())
        return true;
    return KXChart(table, KXNumberFormat::interfaceLocale()).save(options.plot, PlotSize, error, status);
}

QString outputPath(const QString& option, const QString& name)
{
    if (name.isEmpty())
        throw UsageError{option + QStringLiteral(" needs a file name")};
    return name == QLatin1String("-") ? QStringLiteral("/dev/stdout") : name;
}

QList<QPair<QString, QString>> namedOutputs(const QString& output, const OutputOptions& options, const QString& save)
{
    QList<QPair<QString, QString>> outputs;
    outputs.append({output.isEmpty() ? QStringLiteral("standard output") : QStringLiteral("--output"),
                    output.isEmpty() ? QStringLiteral("/dev/stdout") : output});
    if (!options.plot.isEmpty())
        outputs.append({QStringLiteral("--plot"), options.plot});
    if (!save.isEmpty())
        outputs.append({QStringLiteral("--save"), save});
    return outputs;
}

void requireDistinctFiles(const QList<QPair<QString, QString>>& outputs, const QList<QPair<QString, QString>>& inputs)
{
    for (int k = 0; k < outputs.size(); ++k) {
        for (int other = k + 1; other < outputs.size(); ++other) {
            if (KXOutputFile::sameFile(outputs.at(k).second, outputs.at(other).second))
                throw UsageError{QStringLiteral("%1 and %2 name the same file %3")
                                     .arg(outputs.at(k).first, outputs.at(other).first, outputs.at(other).second)};
        }
        for (const auto& input : inputs) {
            // Only a regular file is destroyed by a write; a device or a FIFO is read and written through.
            if (QFileInfo(input.second).isFile() && KXOutputFile::sameFile(outputs.at(k).second, input.second))
                throw UsageError{QStringLiteral("%1 names the input %2 %3")
                                     .arg(outputs.at(k).first, input.first, input.second)};
        }
    }
}

bool wantsPlot(int argc, char* argv[])
{
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--") == 0)
            return false;
        if (std::strcmp(argv[k], "--plot") == 0 || std::strncmp(argv[k], "--plot=", 7) == 0)
            return true;
    }
    return false;
}

}
