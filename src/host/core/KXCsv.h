#pragma once

#include "KXFileStatus.h"
#include "KXHostGlobal.h"
#include "KXNumberFormat.h"
#include "KXOutputFile.h"

#include <QByteArray>
#include <QString>

#include <atomic>

class QAbstractItemModel;
class KXDataModelGeneric;

/// How numbers and cells without a value are written.
struct KXCsvWriteOptions
{
    KXNumberFormat::Precision precision = KXNumberFormat::Precision::Readable;
    /// Cells without a value as the marker -9999 rather than as empty fields.
    bool noValueMarker = false;
};

/// Lets another thread follow a file's reading and stop it.
struct KXCsvReadControl
{
    /// Once true, the reading stops and fails, with no message.
    const std::atomic<bool>* cancel = nullptr;
    /// Bytes handed to the reader so far.
    std::atomic<qint64>* bytesRead = nullptr;
};

/// Tables as CSV (RFC 4180, UTF-8, comma): a header line whose first field is ignored, then one
/// line per row with the row header first. Unquoted numbers read as doubles, empty unquoted
/// fields as empty cells, everything else as text; writing does the inverse, so that a written
/// file read and written again gives the same bytes. Numbers beyond the range of a double read
/// as an infinity or a zero, as strtod gives them.
class KXHOST_EXPORT KXCsv
{
public:
    using WriteOptions = KXCsvWriteOptions;
    using ReadControl = KXCsvReadControl;
    static constexpr qint64 MaximumFileSize = qint64(1) << 28;

    /// Reads a file into table, in pieces, into the storage the table keeps; files larger than
    /// MaximumFileSize are refused unread. On failure error names the file and, for malformed
    /// data, the line; status tells a missing file from bad data.
    static bool readFile(const QString& path, KXDataModelGeneric& table, QString* error,
                         KXFileStatus* status = nullptr, const ReadControl& control = ReadControl());
    /// Reads bytes as readFile reads a file; pieceSize > 0 hands them over in pieces of that size.
    static bool readData(const QByteArray& data, const QString& sourceName, KXDataModelGeneric& table,
                         QString* error, int pieceSize = 0);

    /// Cell values of role 34, headers of Qt::DisplayRole, handed to sink in blocks of rows as they
    /// are formatted (on the global thread pool for host tables); false when sink refused a block.
    static bool write(const QAbstractItemModel& table, const WriteOptions& options, const KXByteSink& sink);
    /// The same, whole in memory: for small tables.
    static QByteArray write(const QAbstractItemModel& table, const WriteOptions& options = WriteOptions());
    /// Writes atomically through QSaveFile: a failure leaves any existing file untouched.
    static bool writeFile(const QString& path, const QAbstractItemModel& table, QString* error,
                          const WriteOptions& options = WriteOptions());

    /// The shortest text that reads back to the same double: nan, inf, -inf and -0 included.
    static QString formatNumber(double value);
};
