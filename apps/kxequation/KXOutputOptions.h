#pragma once

#include "KXCsv.h"

#include <QList>
#include <QPair>
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
/// Writes the table's chart when --plot was given, as any output file; false on failure, with the
/// message and how it failed.
bool writePlot(const KXDataModelGeneric& table, const OutputOptions& options, QString* error, KXFileStatus* status);
/// The file an output option names: "-" is standard output. An empty name is refused (UsageError).
QString outputPath(const QString& option, const QString& name);
/// Refuses, before any work, two outputs that name one file by any spelling, and an output that
/// names an input file: the later write would destroy the other. Each entry is (option, path);
/// throws UsageError.
/// The outputs a command writes, as (option, path): the table (standard output without --output),
/// the chart and the equation file.
QList<QPair<QString, QString>> namedOutputs(const QString& output, const OutputOptions& options,
                                            const QString& save = QString());
void requireDistinctFiles(const QList<QPair<QString, QString>>& outputs, const QList<QPair<QString, QString>>& inputs);
/// Whether the command line asks for a chart: drawing text needs a QGuiApplication.
bool wantsPlot(int argc, char* argv[]);

}
