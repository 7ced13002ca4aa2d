#include "KXOutputOptions.h"

#include "KXChart.h"
#include "KXCommandLine.h"
#include "KXDataModel.h"

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
        options->plot = walker.value(option);
        if (!options->plot.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)
            && !options->plot.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
            throw UsageError{option + QStringLiteral(" expects a file ending in .png or .svg, not '") + options->plot
                             + QLatin1Char('\'')};
    } else {
        return false;
    }
    return true;
}

bool writePlot(const KXDataModelGeneric& table, const OutputOptions& options)
{
    if (options.plot.isEmpty())
        return true;
    QString error;
    if (KXChart(table, KXNumberFormat::interfaceLocale()).save(options.plot, PlotSize, &error))
        return true;
    printError(QStringLiteral("error: ") + error);
    return false;
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
