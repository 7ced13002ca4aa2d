#pragma once

#include "KXCsv.h"

#include <QString>

class KXDataModelGeneric;

namespace KXCommandLine {

class Arguments;

/// How compute and run write their table: the CSV's numbers and missing values, and a chart.
struct OutputOptions
{
    KXCsvWriteOptions csv;
    QString plot;
};

/// Takes --precision readable|full, --no-value empty|marker and --plot FILE; false for other options.
bool takeOutputOption(const QString& option, Arguments& walker, OutputOptions* options);
/// Writes the table's chart when --plot was given; false, with the message printed, on failure.
bool writePlot(const KXDataModelGeneric& table, const OutputOptions& options);
/// Whether the command line asks for a chart: drawing text needs a QGuiApplication.
bool wantsPlot(int argc, char* argv[]);

}
