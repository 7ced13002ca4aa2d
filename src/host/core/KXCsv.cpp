#include "KXCsv.h"

#include "KXDataModel.h"
#include "KXHostFiles.h"
#include "KXCellValue.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QLocale>
#include <QSaveFile>
#include <QTextCodec>
#include <QVector>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale.h>
#include <memory>
#include <new>
#include <vector>

namespace {

// A file is read into QVectors, which stop short of 2 GiB.
const qint64 MAXIMUM_CELLS = (std::numeric_limits<int>::max() - 64) / qint64(sizeof(QVariant));

// Messages
QString tr(const char* english, const char* french)
{
    return QCoreApplication::translate("KXCsv", english, french, -1);
}
QString cannotOpenMessage(const QString& path, const QString& reason)
{
    return tr("Cannot open the file %1: %2", "Impossible d'ouvrir le fichier %1 : %2").arg(path, reason);
}
QString tooLargeMessage(const QString& path)
{
    return tr("The file %1 is too large.", "Le fichier %1 est trop volumineux.").arg(path);
}
QString unterminatedQuoteMessage(const QString& source, int line)
{
    return tr("%1, line %2: a quoted field is not closed.",
              "%1, ligne %2 : un champ entre guillemets n'est pas fermé.")
        .arg(source)
        .arg(line);
}
QString textAfterQuoteMessage(const QString& source, int line)
{
    return tr("%1, line %2: text follows a closing quote.", "%1, ligne %2 : du texte suit un guillemet fermant.")
        .arg(source)
        .arg(line);
}
QString tooManyFieldsMessage(const QString& source, int line)
{
    return tr("%1, line %2: more fields than in the header line.",
              "%1, ligne %2 : plus de champs que dans la ligne d'en-tête.")
        .arg(source)
        .arg(line);
}
QString invalidUtf8Message(const QString& source, int line)
{
    return tr("%1, line %2: the text is not valid UTF-8.", "%1, ligne %2 : le texte n'est pas de l'UTF-8 valide.")
        .arg(source)
        .arg(line);
}
QString tooManyCellsMessage(const QString& source, int line)
{
    return tr("%1, line %2: the table has too many cells.", "%1, ligne %2 : le tableau a trop de cellules.")
        .arg(source)
        .arg(line);
}
QString cannotWriteMessage(const QString& path, const QString& reason)
{
    return tr("Cannot write the file %1: %2", "Impossible d'écrire le fichier %1 : %2").arg(path, reason);
}

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

/// The C locale's number grammar, on bytes: blanks, a sign, digits with one optional point and
/// an exponent, or inf and nan in any case.
/// number := blank* sign? (digits ("." digits*)? | "." digits) (("e"|"E") sign? digits)? blank*
///         | blank* sign? ("inf" | "nan") blank*        (no sign before nan)
bool matchesNumber(const char* begin, const char* end)
{
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
    const char* p = begin;
    bool signed_ = false;
    if (p < end && (*p == '+' || *p == '-')) {
        ++p;
        signed_ = true;
    }
    if (end - p == 3) {
        const QByteArray word = QByteArray(p, 3).toLower();
        if (word == "inf" || (word == "nan" && !signed_))
            return true;
    }
    const char* digits = p;
    while (p < end && isDigit(*p))
        ++p;
    bool any = p > digits;
    if (p < end && *p == '.') {
        const char* fraction = ++p;
        while (p < end && isDigit(*p))
            ++p;
        any = any || p > fraction;
    }
    if (!any)
        return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        const char* exponent = p;
        while (p < end && isDigit(*p))
            ++p;
        if (p == exponent)
            return false;
    }
    return p == end;
}

/// Whether the bytes read entirely as a number; outside the range of a double they give
/// what strtod gives: an infinity or a zero of the right sign.
bool readNumberBytes(const char* begin, const char* end, double* value)
{
    if (!matchesNumber(begin, end))
        return false;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    char small[64];
    const qint64 size = end - begin;
    if (size < qint64(sizeof small)) {
        std::memcpy(small, begin, size_t(size));
        small[size] = '\0';
        *value = strtod_l(small, nullptr, cLocale);
    } else {
        const QByteArray copy(begin, int(size));
        *value = strtod_l(copy.constData(), nullptr, cLocale);
    }
    return true;
}

/// Whether text reads entirely as a number, as a CSV cell does (nan and inf included).
bool readNumber(const QString& text, double* value)
{
    const QByteArray bytes = text.toUtf8();
    return readNumberBytes(bytes.constData(), bytes.constData() + bytes.size(), value);
}

/// One field: a view into the reader's buffer, or its unescaped copy when it was quoted.
struct Field
{
    const char* begin = nullptr;
    const char* end = nullptr;
    QByteArray unescaped;
    bool quoted = false;
};

/// Splits complete CSV records (RFC 4180) out of a buffer, counting physical lines.
/// record := field ("," field)* line-end ; field := quoted | bytes without , CR LF
class RecordReader
{
public:
    enum class Status { Record, End, UnterminatedQuote, TextAfterQuote, TooManyFields };

    RecordReader(const char* begin, const char* end, qint64 line) : m_position(begin), m_end(end), m_line(line) {}

    /// Reads the next record of at most maximumFields fields.
    Status next(std::vector<Field>& fields, qint64 maximumFields)
    {
        fields.clear();
        if (m_position >= m_end)
            return Status::End;
        m_recordLine = m_line;
        for (;;) {
            Field field;
            if (*m_position == '"') {
                const Status status = readQuoted(field);
                if (status != Status::Record)
                    return status;
            } else {
                field.begin = m_position;
                while (m_position < m_end && !isDelimiter(*m_position))
                    ++m_position;
                field.end = m_position;
            }
            if (qint64(fields.size()) >= maximumFields) {
                m_errorLine = m_recordLine;
                return Status::TooManyFields;
            }
            fields.push_back(std::move(field));
            if (m_position >= m_end)
                return Status::Record;
            const char delimiter = *m_position++;
            if (delimiter == ',')
                continue;
            if (delimiter == '\r' && m_position < m_end && *m_position == '\n')
                ++m_position;
            ++m_line;
            return Status::Record;
        }
    }

    qint64 line() const { return m_line; }
    /// The line on which the last record (or the failing field) starts.
    qint64 recordLine() const { return m_recordLine; }
    qint64 errorLine() const { return m_errorLine; }

private:
    static bool isDelimiter(char c) { return c == ',' || c == '\n' || c == '\r'; }

    Status readQuoted(Field& field)
    {
        field.quoted = true;
        const qint64 openingLine = m_line;
        ++m_position;
        for (;;) {
            const char* quote = static_cast<const char*>(std::memchr(m_position, '"', size_t(m_end - m_position)));
            if (!quote) {
                m_errorLine = openingLine;
                return Status::UnterminatedQuote;
            }
            m_line += std::count(m_position, quote, '\n');
            field.unescaped.append(m_position, int(quote - m_position));
            m_position = quote + 1;
            if (m_position >= m_end || *m_position != '"')
                break;
            field.unescaped += '"';
            ++m_position;
        }
        field.begin = field.unescaped.constData();
        field.end = field.begin + field.unescaped.size();
        if (m_position < m_end && !isDelimiter(*m_position)) {
            m_errorLine = m_line;
            return Status::TextAfterQuote;
        }
        return Status::Record;
    }

    const char* m_position;
    const char* m_end;
    qint64 m_line;
    qint64 m_recordLine = 1;
    qint64 m_errorLine = 1;
};

bool isBlankRecord(const std::vector<Field>& fields)
{
    return fields.size() == 1 && !fields[0].quoted && fields[0].begin == fields[0].end;
}

bool decodeUtf8(const char* begin, const char* end, QString* text)
{
    if (std::all_of(begin, end, [](char c) { return (c & 0x80) == 0; })) {
        *text = QString::fromLatin1(begin, int(end - begin));
        return true;
    }
    static QTextCodec* const codec = QTextCodec::codecForName("UTF-8");
    // IgnoreHeader keeps a byte order mark that is part of the text.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    *text = codec->toUnicode(begin, int(end - begin), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

/// An empty unquoted field is an empty cell, an unquoted number a double, anything else text.
bool fieldValue(const Field& field, QVariant* value)
{
    if (!field.quoted) {
        double number = 0.0;
        if (field.begin == field.end) {
            *value = QVariant();
            return true;
        }
        if (readNumberBytes(field.begin, field.end, &number)) {
            *value = number;
            return true;
        }
    }
    QString text;
    if (!decodeUtf8(field.begin, field.end, &text))
        return false;
    *value = text.isNull() ? QString(QLatin1String("")) : text;
    return true;
}

/// Values appended one by one into blocks, then moved into one vector of the exact size, block
/// by block, each released once emptied: a growing vector would copy itself and hold twice the
/// cells at its peaks. Blocks double up to a size the allocator maps and unmaps on its own, so
/// that a released block leaves the process.
class GrowingValues
{
public:
    void append(QVariant&& value)
    {
        if (m_current.size() == m_current.capacity()) {
            const int next = qMin(qMax(2 * m_current.capacity(), FirstBlockSize), LargestBlockSize);
            if (!m_current.isEmpty())
                m_blocks.push_back(std::move(m_current));
            m_current = QVector<QVariant>();
            m_current.reserve(next);
        }
        m_current.append(std::move(value));
        ++m_size;
    }
    qint64 size() const { return m_size; }

    template <class Container>
    Container take()
    {
        Container values;
        values.reserve(typename Container::size_type(m_size));
        drain([&](QVariant& value) { values.push_back(std::move(value)); });
        return values;
    }
    /// Every value, moved into a table's cell store.
    std::shared_ptr<KXCellStore> takeStore()
    {
        auto store = std::make_shared<KXCellStore>(size_t(m_size), KXCellStore::Unconstructed);
        QVariant* next = store->data();
        drain([&](QVariant& value) { new (next++) QVariant(std::move(value)); });
        return store;
    }

private:
    // Hands every value over in order, releasing each block once it is moved.
    template <class Take>
    void drain(Take take)
    {
        m_blocks.push_back(std::move(m_current));
        for (QVector<QVariant>& block : m_blocks) {
            for (QVariant& value : block)
                take(value);
            block = QVector<QVariant>();
        }
        m_blocks.clear();
        m_size = 0;
    }

    static constexpr int FirstBlockSize = 1 << 10;
    static constexpr int LargestBlockSize = 1 << 22; // 64 MB of values, above the allocator's mapping threshold
    std::vector<QVector<QVariant>> m_blocks;
    QVector<QVariant> m_current;
    qint64 m_size = 0;
};

/// Builds a table from CSV bytes given in pieces of any size: only whole records are parsed,
/// the rest waits for the next piece, and cells go straight into the storage the table keeps.
class TableReader
{
public:
    TableReader(const QString& sourceName, QString* error) : m_source(sourceName), m_error(error) {}

    bool feed(const char* data, qint64 size) { return parse(data, size, false); }
    bool finish(KXDataModelGeneric& table)
    {
        if (!parse(nullptr, 0, true))
            return false;
        if (!m_headerRead)
            return table.setContents(0, 0, std::make_shared<KXCellStore>(), {}, {});
        const int rows = int(m_rowHeaders.size());
        return table.setContents(m_columns, rows, m_cells.takeStore(),
                                 m_rowHeaders.take<QVector<QVariant>>(), m_columnHeaders);
    }

private:
    bool parse(const char* data, qint64 size, bool final)
    {
        m_pending.append(data, int(size));
        if (!m_bomChecked && (m_pending.size() >= 3 || final)) {
            m_bomChecked = true;
            if (m_pending.startsWith("\xEF\xBB\xBF"))
                m_pending.remove(0, 3);
        }
        if (!m_bomChecked)
            return true;
        // Only records that end in this buffer are parsed; the scan follows fields as the record
        // reader does, across pieces.
        qint64 cut = final ? m_pending.size() : 0;
        const char* bytes = m_pending.constData();
        qint64 k = m_scanned;
        for (; !final && k < m_pending.size(); ++k) {
            const char c = bytes[k];
            const bool lineEnd = c == '\n' || c == '\r';
            // A CR at the very end may be the first half of a CRLF: look at it again with the next piece.
            if (c == '\r' && k + 1 == m_pending.size())
                break;
            switch (m_scan) {
            case Scan::Quoted:
                if (c == '"')
                    m_scan = Scan::QuoteInQuoted;
                continue;
            case Scan::FieldStart:
                if (c == '"') {
                    m_scan = Scan::Quoted;
                    continue;
                }
                break;
            case Scan::QuoteInQuoted:
                if (c == '"') {
                    m_scan = Scan::Quoted;
                    continue;
                }
                break;
            case Scan::Unquoted:
                break;
            }
            if (c == ',') {
                m_scan = Scan::FieldStart;
            } else if (lineEnd) {
                m_scan = Scan::FieldStart;
                if (c == '\n' || bytes[k + 1] != '\n')
                    cut = k + 1;
            } else {
                m_scan = Scan::Unquoted;
            }
        }
        m_scanned = final ? m_pending.size() : k;
        if (cut == 0)
            return true;
        RecordReader reader(bytes, bytes + cut, m_line);
        const bool ok = readRecords(reader);
        m_line = reader.line();
        m_pending.remove(0, int(cut));
        m_scanned -= cut;
        return ok;
    }

    bool readRecords(RecordReader& reader)
    {
        RecordReader::Status status;
        if (!m_headerRead) {
            // Header line: the top-left field is ignored.
            status = reader.next(m_fields, MAXIMUM_CELLS + 1);
            if (status == RecordReader::Status::End)
                return true;
            if (status == RecordReader::Status::TooManyFields)
                return fail(tooManyCellsMessage(m_source, reader.errorLine()));
            if (status != RecordReader::Status::Record)
                return fail(reader, status);
            m_headerRead = true;
            m_columns = int(m_fields.size()) - 1;
            m_columnHeaders.resize(m_columns);
            for (int column = 0; column < m_columns; ++column) {
                if (!fieldValue(m_fields[size_t(column) + 1], &m_columnHeaders[column]))
                    return fail(invalidUtf8Message(m_source, reader.recordLine()));
            }
        }
        while ((status = reader.next(m_fields, m_columns + 1)) == RecordReader::Status::Record) {
            // Blank lines become rows only when a row follows them, so that trailing blank lines are dropped.
            if (isBlankRecord(m_fields)) {
                ++m_pendingBlankRows;
                continue;
            }
            const qint64 rows = m_rowHeaders.size() + m_pendingBlankRows + 1;
            if (rows * qMax(m_columns, 1) > MAXIMUM_CELLS)
                return fail(tooManyCellsMessage(m_source, reader.recordLine()));
            for (; m_pendingBlankRows > 0; --m_pendingBlankRows) {
                m_rowHeaders.append(QVariant());
                for (int column = 0; column < m_columns; ++column)
                    m_cells.append(QVariant());
            }
            QVariant value;
            bool decoded = fieldValue(m_fields[0], &value);
            m_rowHeaders.append(std::move(value));
            for (size_t field = 1; field <= size_t(m_columns); ++field) {
                value = QVariant();
                if (decoded && field < m_fields.size())
                    decoded = fieldValue(m_fields[field], &value);
                m_cells.append(std::move(value));
            }
            if (!decoded)
                return fail(invalidUtf8Message(m_source, reader.recordLine()));
        }
        if (status != RecordReader::Status::End)
            return fail(reader, status);
        return true;
    }

    bool fail(const QString& message)
    {
        setError(m_error, message);
        return false;
    }
    bool fail(const RecordReader& reader, RecordReader::Status status)
    {
        switch (status) {
        case RecordReader::Status::UnterminatedQuote:
            return fail(unterminatedQuoteMessage(m_source, reader.errorLine()));
        case RecordReader::Status::TextAfterQuote:
            return fail(textAfterQuoteMessage(m_source, reader.errorLine()));
        default:
            return fail(tooManyFieldsMessage(m_source, reader.errorLine()));
        }
    }

    QString m_source;
    QString* m_error;
    QByteArray m_pending;
    qint64 m_scanned = 0;
    enum class Scan { FieldStart, Unquoted, Quoted, QuoteInQuoted } m_scan = Scan::FieldStart;
    bool m_bomChecked = false;
    qint64 m_line = 1;
    bool m_headerRead = false;
    int m_columns = 0;
    qint64 m_pendingBlankRows = 0;
    std::vector<Field> m_fields;
    QVector<QVariant> m_columnHeaders;
    GrowingValues m_rowHeaders;
    GrowingValues m_cells;
};


QByteArray quoted(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

QByteArray formatField(const QVariant& value, const KXCsv::WriteOptions& options)
{
    if (!value.isValid())
        return QByteArray();
    if (KXNumberFormat::isNumber(value) || value.userType() == QMetaType::Bool)
        return KXNumberFormat::displayText(value, QLocale::c(), options.precision).toUtf8();
    const QString text = value.toString();
    double number = 0.0;
    if (text.isEmpty() || text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || readNumber(text, &number))
        return quoted(text);
    return text.toUtf8();
}

/// A cell without a value is an empty field, which reads back as one, or the marker on request.
QByteArray formatCell(const QVariant& value, const KXCsv::WriteOptions& options)
{
    if (KXNumberFormat::isNoValue(value))
        return options.noValueMarker ? KXNumberFormat::numberText(KXNoValue, QLocale::c()).toUtf8() : QByteArray();
    return formatField(value, options);
}

}

bool KXCsv::readFile(const QString& path, KXDataModelGeneric& table, QString* error, KXFileStatus* status,
                     const ReadControl& control)
{
    auto finish = [status](KXFileStatus result) {
        if (status)
            *status = result;
        return result == KXFileStatus::Ok;
    };
    TableReader reader(path, error);
    QString reason;
    switch (KXHostFiles::readInChunks(
        path, KXCsv::MaximumFileSize,
        [&reader, &control](const char* data, qint64 size) {
            if (control.cancel && control.cancel->load())
                return false;
            if (control.bytesRead)
                *control.bytesRead += size;
            return reader.feed(data, size);
        },
        &reason)) {
    case KXHostFiles::ReadResult::CannotOpen:
        setError(error, cannotOpenMessage(path, reason));
        return finish(KXFileStatus::CannotOpen);
    case KXHostFiles::ReadResult::TooLarge:
        setError(error, tooLargeMessage(path));
        return finish(KXFileStatus::TooLarge);
    case KXHostFiles::ReadResult::Stopped:
        return finish(KXFileStatus::Malformed);
    case KXHostFiles::ReadResult::Ok:
        break;
    }
    return finish(reader.finish(table) ? KXFileStatus::Ok : KXFileStatus::Malformed);
}

bool KXCsv::readData(const QByteArray& data, const QString& sourceName, KXDataModelGeneric& table, QString* error,
                     int pieceSize)
{
    TableReader reader(sourceName, error);
    const int step = pieceSize > 0 ? pieceSize : qMax(data.size(), 1);
    for (int start = 0; start < data.size(); start += step) {
        if (!reader.feed(data.constData() + start, qMin(step, data.size() - start)))
            return false;
    }
    return reader.finish(table);
}

QByteArray KXCsv::write(const QAbstractItemModel& table, const WriteOptions& options)
{
    const int rows = table.rowCount(QModelIndex());
    const int columns = table.columnCount(QModelIndex());
    QByteArray out;
    for (int column = 0; column < columns; ++column)
        out += ',' + formatField(table.headerData(column, Qt::Horizontal, Qt::DisplayRole), options);
    out += '\n';
    for (int row = 0; row < rows; ++row) {
        out += formatField(table.headerData(row, Qt::Vertical, Qt::DisplayRole), options);
        for (int column = 0; column < columns; ++column)
            out += ',' + formatCell(table.data(table.index(row, column), KXValueRole), options);
        out += '\n';
    }
    return out;
}

bool KXCsv::writeFile(const QString& path, const QAbstractItemModel& table, QString* error,
                      const WriteOptions& options)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, cannotWriteMessage(path, file.errorString()));
        return false;
    }
    const QByteArray data = write(table, options);
    if (file.write(data) != data.size() || !file.commit()) {
        setError(error, cannotWriteMessage(path, file.errorString()));
        file.cancelWriting();
        return false;
    }
    return true;
}

QString KXCsv::formatNumber(double value)
{
    return KXNumberFormat::numberText(value, QLocale::c(), KXNumberFormat::Precision::Full);
}
