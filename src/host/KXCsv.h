#pragma once

#include "KXHostGlobal.h"
#include "KXNumberFormat.h"

#include <QByteArray>
#include <QString>

class QAbstractItemModel;
class KXDataModelGeneric;

/// How numbers and cells without a value are written.
struct KXCsvWriteOptions
{
    KXNumberFormat::Precision precision = KXNumberFormat::Precision::Readable;
    /// Cells without a value as the marker -9999 rather than as empty fields.
    bool noValueMarker = false;
};

/// Tables as CSV (RFC 4180, UTF-8, comma): a header line whose first field is ignored, then one
/// line per row with the row header first. Unquoted numbers read as doubles, empty unquoted
/// fields as empty cells, everything else as text; writing does the inverse, so that a written
/// file read and written again gives the same bytes.
class KXHOST_EXPORT KXCsv
{
public:
    using WriteOptions = KXCsvWriteOptions;

    /// Reads a file into table; on failure error names the file and the line.
    static bool readFile(const QString& path, KXDataModelGeneric& table, QString* error);
    static bool readData(const QByteArray& data, const QString& sourceName, KXDataModelGeneric& table,
                         QString* error);

    /// Cell values of role 34, headers of Qt::DisplayRole.
    static QByteArray write(const QAbstractItemModel& table, const WriteOptions& options = WriteOptions());
    /// Writes atomically through QSaveFile: a failure leaves any existing file untouched.
    static bool writeFile(const QString& path, const QAbstractItemModel& table, QString* error,
                          const WriteOptions& options = WriteOptions());

    /// The shortest text that reads back to the same double: nan, inf, -inf and -0 included.
    static QString formatNumber(double value);
};
