#include "KXCsv.h"

#include "KXDataModel.h"
#include "KXHostFiles.h"
#include "KXCellValue.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QLocale>
#include <QSaveFile>
#include <QTextCodec>
#include <QThreadPool>
#include <QVector>

#include <fast_float/fast_float.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale.h>
#include <memory>
#include <new>
#include <vector>

namespace {

// Parts of a piece parsed apart on the pool: large enough to outweigh handing them over.
const qint64 PART_BYTES = 1 << 17;

// Row headers are read into QVectors, which stop short of 2 GiB; cells are bounded alike.
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
QString utf16Message(const QString& source)
{
    return tr("%1: the text is UTF-16; save it as UTF-8.", "%1 : le texte est en UTF-16 ; enregistrez-le en UTF-8.")
        .arg(source);
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
    // Most numbers start with a digit, a point or a minus and a digit: from there fast_float's
    // grammar is the one above, so that a field it reads whole and in range needs no other check.
    const char* digits = begin < end && *begin == '-' ? begin + 1 : begin;
    if (digits < end && ((*digits >= '0' && *digits <= '9') || *digits == '.')) {
        const auto parsed = fast_float::from_chars(begin, end, *value);
        if (parsed.ec == std::errc() && parsed.ptr == end)
            return true;
    }
    if (!matchesNumber(begin, end))
        return false;
    // fast_float reads the grammar checked above, a leading plus and blanks aside, several
    // times faster than strtod and rounds the same.
    const char* first = begin;
    const char* last = end;
    while (first < last && (*first == ' ' || *first == '\t'))
        ++first;
    while (last > first && (last[-1] == ' ' || last[-1] == '\t'))
        --last;
    if (first < last && *first == '+')
        ++first;
    const auto parsed = fast_float::from_chars(first, last, *value);
    if (parsed.ec == std::errc() && parsed.ptr == last)
        return true;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const QByteArray copy(begin, int(end - begin));
    *value = strtod_l(copy.constData(), nullptr, cLocale);
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

/// The common cells, empty and numeric, straight into a store's slot; false for the others.
bool fieldSlot(const Field& field, double* slot)
{
    if (field.quoted)
        return false;
    if (field.begin == field.end) {
        *slot = KXCellStore::noValueSlot();
        return true;
    }
    return readNumberBytes(field.begin, field.end, slot) && KXCellStore::isNumberSlot(*slot);
}

/// Work done once by whichever thread claims it first: a pool thread, or the thread that needs
/// it done before any pool thread took it, so that waiting never depends on a free pool thread.
class ClaimedTask
{
public:
    explicit ClaimedTask(std::function<void()> work) : m_work(std::move(work)) {}

    /// Hands the task to the global thread pool as well.
    static void start(const std::shared_ptr<ClaimedTask>& task)
    {
        QThreadPool::globalInstance()->start([task] { task->run(); });
    }
    void run()
    {
        if (m_claimed.exchange(true))
            return;
        m_work();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
        m_finished.notify_all();
    }
    void wait()
    {
        run();
        std::unique_lock<std::mutex> lock(m_mutex);
        m_finished.wait(lock, [this] { return m_done; });
    }
    /// A task not yet claimed never runs; one running goes on to its end.
    void drop() { m_claimed = true; }

private:
    std::function<void()> m_work;
    std::atomic<bool> m_claimed{false};
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
};

/// The records of one part of a piece, parsed on their own: rows (header and cells), and the
/// blank records before each row and after the last, which only the whole table can place.
struct ParsedPart
{
    std::vector<QVariant> headers;
    std::vector<double> cells; // a cell store's slots; texts in others
    std::vector<std::pair<size_t, QVariant>> others;
    std::vector<qint64> blanksBefore;
    qint64 trailingBlanks = 0;
    qint64 lines = 0;
    bool ok = false;

    void parse(const char* begin, const char* end, int columns)
    {
        if (!std::memchr(begin, '"', size_t(end - begin)) && !std::memchr(begin, '\r', size_t(end - begin))) {
            parsePlain(begin, end, columns);
            return;
        }
        RecordReader reader(begin, end, 0);
        std::vector<Field> fields;
        RecordReader::Status status;
        qint64 blanks = 0;
        while ((status = reader.next(fields, qint64(columns) + 1)) == RecordReader::Status::Record) {
            if (isBlankRecord(fields)) {
                ++blanks;
                continue;
            }
            blanksBefore.push_back(blanks);
            blanks = 0;
            QVariant value;
            bool decoded = fieldValue(fields[0], &value);
            headers.push_back(std::move(value));
            for (size_t field = 1; field <= size_t(columns) && decoded; ++field) {
                double slot = KXCellStore::noValueSlot();
                if (field < fields.size() && !fieldSlot(fields[field], &slot)) {
                    QVariant other;
                    decoded = fieldValue(fields[field], &other);
                    others.emplace_back(cells.size(), std::move(other));
                }
                cells.push_back(slot);
            }
            if (!decoded)
                return;
        }
        trailingBlanks = blanks;
        lines = reader.line();
        ok = status == RecordReader::Status::End;
    }

private:
    // Without quotes and carriage returns, records are lines and fields the bytes between commas:
    // read in place, without the record reader's copies. Any fault leaves ok false, and the
    // record reader reads the piece again for the message.
    void parsePlain(const char* begin, const char* end, int columns)
    {
        qint64 blanks = 0;
        Field field;
        for (const char* line = begin; line < end;) {
            const char* lineEnd = static_cast<const char*>(std::memchr(line, '\n', size_t(end - line)));
            if (lineEnd)
                ++lines;
            else
                lineEnd = end;
            if (line == lineEnd) {
                ++blanks;
                line = lineEnd + 1;
                continue;
            }
            blanksBefore.push_back(blanks);
            blanks = 0;
            const char* p = line;
            while (p < lineEnd && *p != ',')
                ++p;
            field.begin = line;
            field.end = p;
            QVariant header;
            if (!fieldValue(field, &header))
                return;
            headers.push_back(std::move(header));
            // p is at the comma before the next field, or at the line's end once there is none.
            for (int column = 0; column < columns; ++column) {
                double slot = KXCellStore::noValueSlot();
                if (p < lineEnd) {
                    field.begin = ++p;
                    while (p < lineEnd && *p != ',')
                        ++p;
                    field.end = p;
                    if (!fieldSlot(field, &slot)) {
                        QVariant other;
                        if (!fieldValue(field, &other))
                            return;
                        others.emplace_back(cells.size(), std::move(other));
                    }
                }
                cells.push_back(slot);
            }
            if (p < lineEnd)
                return; // more fields than columns
            line = lineEnd + 1;
        }
        trailingBlanks = blanks;
        ok = true;
    }
};

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

/// A table's slots appended row by row into one block that grows in place (large blocks are
/// remapped, not copied), then handed to the table's store whole: the table never exists twice.
class GrowingCells
{
public:
    GrowingCells() = default;
    GrowingCells(const GrowingCells&) = delete;
    GrowingCells& operator=(const GrowingCells&) = delete;
    ~GrowingCells() { std::free(m_slots); }

    qint64 size() const { return qint64(m_size); }
    void append(const double* cells, size_t count)
    {
        reserve(m_size + count);
        std::memcpy(m_slots + m_size, cells, count * sizeof(double));
        m_size += count;
    }
    void appendEmpty(size_t count)
    {
        reserve(m_size + count);
        std::fill_n(m_slots + m_size, count, KXCellStore::noValueSlot());
        m_size += count;
    }
    /// A cell of another kind than a number or no value.
    void appendOther(QVariant&& value)
    {
        m_others.emplace_back(m_size, std::move(value));
        appendEmpty(1);
    }
    /// A cell of another kind at a position already appended.
    void setOther(size_t at, QVariant&& value) { m_others.emplace_back(at, std::move(value)); }
    std::shared_ptr<KXCellStore> takeStore()
    {
        auto store = KXCellStore::adopt(m_slots, m_size);
        m_slots = nullptr;
        m_size = m_capacity = 0;
        for (auto& other : m_others)
            store->set(other.first, other.second);
        m_others.clear();
        return store;
    }

private:
    void reserve(size_t wanted)
    {
        if (wanted <= m_capacity)
            return;
        const size_t capacity = std::max<size_t>({wanted, 2 * m_capacity, 1024});
        auto* grown = static_cast<double*>(std::realloc(m_slots, capacity * sizeof(double)));
        if (!grown)
            throw std::bad_alloc();
        m_slots = grown;
        m_capacity = capacity;
    }

    double* m_slots = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    std::vector<std::pair<size_t, QVariant>> m_others;
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
            // UTF-16 starts with its byte order mark, or holds a zero byte beside each ASCII character.
            else if (m_pending.startsWith("\xFF\xFE") || m_pending.startsWith("\xFE\xFF")
                     || (m_pending.size() >= 2 && (m_pending.at(0) == 0 || m_pending.at(1) == 0)))
                return fail(utf16Message(m_source));
        }
        if (!m_bomChecked)
            return true;
        // Only records that end in this buffer are parsed; the scan follows fields as the record
        // reader does, across pieces.
        qint64 cut = final ? m_pending.size() : 0;
        const char* bytes = m_pending.constData();
        qint64 k = m_scanned;
        const qint64 pending = m_pending.size();
        // Record ends about PART_BYTES apart, where the pool may parse the piece in parts.
        std::vector<qint64> boundaries;
        if (!final && k < pending && (m_scan == Scan::FieldStart || m_scan == Scan::Unquoted)
            && !std::memchr(bytes + k, '"', size_t(pending - k)) && !std::memchr(bytes + k, '\r', size_t(pending - k))) {
            // Without quotes and carriage returns ahead, record ends are the line feeds: the ones
            // needed are found by memchr, PART_BYTES apart, instead of byte by byte.
            if (const auto* last = static_cast<const char*>(memrchr(bytes + k, '\n', size_t(pending - k)))) {
                cut = last - bytes + 1;
                for (;;) {
                    const qint64 target = std::max(k, (boundaries.empty() ? 0 : boundaries.back()) + PART_BYTES - 1);
                    if (target >= cut)
                        break;
                    const auto* lineEnd = static_cast<const char*>(std::memchr(bytes + target, '\n', size_t(cut - target)));
                    boundaries.push_back(lineEnd - bytes + 1);
                }
            }
            const char before = bytes[pending - 1];
            m_scan = before == ',' || before == '\n' ? Scan::FieldStart : Scan::Unquoted;
            k = pending;
        }
        for (; !final && k < pending; ++k) {
            // Inside a field only its end matters: skip to it.
            if (m_scan == Scan::Unquoted) {
                while (k < pending && bytes[k] != ',' && bytes[k] != '\n' && bytes[k] != '\r')
                    ++k;
            } else if (m_scan == Scan::Quoted) {
                const char* quote = static_cast<const char*>(std::memchr(bytes + k, '"', size_t(pending - k)));
                k = quote ? quote - bytes : pending;
            }
            if (k == pending)
                break;
            const char c = bytes[k];
            const bool lineEnd = c == '\n' || c == '\r';
            // A CR at the very end may be the first half of a CRLF: look at it again with the next piece.
            if (c == '\r' && k + 1 == pending)
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
                if (c == '\n' || bytes[k + 1] != '\n') {
                    cut = k + 1;
                    if (cut - (boundaries.empty() ? 0 : boundaries.back()) >= PART_BYTES)
                        boundaries.push_back(cut);
                }
            } else {
                m_scan = Scan::Unquoted;
            }
        }
        m_scanned = final ? m_pending.size() : k;
        if (cut == 0)
            return true;
        if (!boundaries.empty() && boundaries.back() != cut)
            boundaries.push_back(cut);
        qint64 start = 0;
        if (!m_headerRead && boundaries.size() > 2) {
            // The header line first: the parts need the column count.
            RecordReader reader(bytes, bytes + boundaries.front(), m_line);
            if (!readRecords(reader))
                return false;
            m_line = reader.line();
            start = boundaries.front();
            boundaries.erase(boundaries.begin());
        }
        if (m_headerRead && boundaries.size() > 1 && readInParts(bytes, start, boundaries)) {
            m_pending.remove(0, int(cut));
            m_scanned -= cut;
            return true;
        }
        // Anything the parts refuse is read again here, where messages get their exact line.
        RecordReader reader(bytes + start, bytes + cut, m_line);
        const bool ok = readRecords(reader);
        m_line = reader.line();
        m_pending.remove(0, int(cut));
        m_scanned -= cut;
        return ok;
    }

    /// Parses the parts [start, ends[0]), [ends[0], ends[1]), ... on the pool and appends them in
    /// order; false, with nothing appended, when any part is malformed or the table too large.
    bool readInParts(const char* bytes, qint64 start, const std::vector<qint64>& ends)
    {
        std::vector<ParsedPart> parts(ends.size());
        std::vector<std::shared_ptr<ClaimedTask>> tasks;
        for (size_t part = 0; part < ends.size(); ++part) {
            const char* begin = bytes + (part == 0 ? start : ends[part - 1]);
            const char* end = bytes + ends[part];
            ParsedPart* parsed = &parts[part];
            const int columns = m_columns;
            tasks.push_back(std::make_shared<ClaimedTask>([=] { parsed->parse(begin, end, columns); }));
            if (part > 0)
                ClaimedTask::start(tasks.back());
        }
        bool ok = true;
        qint64 rows = m_rowHeaders.size() + m_pendingBlankRows;
        for (size_t part = 0; part < parts.size(); ++part) {
            tasks[part]->wait();
            ok = ok && parts[part].ok;
            for (qint64 blanks : parts[part].blanksBefore)
                rows += blanks + 1;
            rows += parts[part].trailingBlanks;
        }
        rows -= parts.back().trailingBlanks;
        if (!ok || rows * qMax(m_columns, 1) > MAXIMUM_CELLS)
            return false;
        for (ParsedPart& part : parts) {
            const size_t columns = size_t(m_columns);
            size_t nextOther = 0;
            for (size_t row = 0, first = 0; row < part.headers.size(); ++row) {
                m_pendingBlankRows += part.blanksBefore[row];
                appendPendingBlankRows();
                m_rowHeaders.append(std::move(part.headers[row]));
                // Runs of rows without blank rows between them go over at once.
                if (row + 1 == part.headers.size() || part.blanksBefore[row + 1] > 0) {
                    const size_t base = size_t(m_cells.size());
                    m_cells.append(part.cells.data() + first * columns, (row + 1 - first) * columns);
                    for (; nextOther < part.others.size() && part.others[nextOther].first < (row + 1) * columns;
                         ++nextOther) {
                        auto& other = part.others[nextOther];
                        m_cells.setOther(base + other.first - first * columns, std::move(other.second));
                    }
                    first = row + 1;
                }
            }
            m_pendingBlankRows += part.trailingBlanks;
            m_line += part.lines;
            part = ParsedPart();
        }
        return true;
    }

    void appendPendingBlankRows()
    {
        for (; m_pendingBlankRows > 0; --m_pendingBlankRows) {
            m_rowHeaders.append(QVariant());
            m_cells.appendEmpty(size_t(m_columns));
        }
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
            appendPendingBlankRows();
            QVariant value;
            bool decoded = fieldValue(m_fields[0], &value);
            m_rowHeaders.append(std::move(value));
            for (size_t field = 1; field <= size_t(m_columns) && decoded; ++field) {
                double slot = KXCellStore::noValueSlot();
                if (field >= m_fields.size() || fieldSlot(m_fields[field], &slot)) {
                    m_cells.append(&slot, 1);
                } else {
                    value = QVariant();
                    decoded = fieldValue(m_fields[field], &value);
                    m_cells.appendOther(std::move(value));
                }
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
    GrowingCells m_cells;
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
    // A zero character is quoted too: unquoted at the start of the file's second byte, it would
    // read back as the mark of a UTF-16 file.
    if (text.isEmpty() || text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || text.contains(QChar(0))
        || readNumber(text, &number))
        return quoted(text);
    return text.toUtf8();
}

void appendBytes(std::string& out, const QByteArray& bytes)
{
    out.append(bytes.constData(), size_t(bytes.size()));
}

/// A number as formatField writes it, without a QString on the way: the cells of large tables.
void appendNumber(std::string& out, double number, const KXCsv::WriteOptions& options)
{
    if (number == KXNoValue) {
        // A cell without a value is an empty field, which reads back as one, or the marker on request.
        if (options.noValueMarker)
            out += "-9999";
        return;
    }
    char text[KXNumberFormat::CNumberCapacity];
    out.append(text, size_t(KXNumberFormat::writeCNumber(number, options.precision, text) - text));
}

void appendCell(std::string& out, const QVariant& value, const KXCsv::WriteOptions& options)
{
    switch (value.userType()) {
    case QMetaType::Double:
        return appendNumber(out, *static_cast<const double*>(value.constData()), options);
    case QMetaType::Int:
        return appendNumber(out, double(*static_cast<const int*>(value.constData())), options);
    default:
        break;
    }
    if (KXNumberFormat::isNoValue(value)) {
        if (options.noValueMarker)
            out += "-9999";
        return;
    }
    appendBytes(out, formatField(value, options));
}

/// The rows of a table as the writer reads them: straight from the cells of a host table, which
/// any thread may read, or through the model's interface on the calling thread.
class RowSource
{
public:
    RowSource(const QAbstractItemModel& table, const KXCsv::WriteOptions& options)
        : m_table(table), m_options(options), m_columns(table.columnCount(QModelIndex()))
    {
        if (const auto* host = qobject_cast<const KXDataModelGeneric*>(&table))
            m_cells = host->sharedCells();
    }

    bool anyThread() const { return m_cells.store != nullptr; }

    /// Rows [first, last), each with its header, which the caller read on the table's thread.
    void format(int first, int last, const QVector<QVariant>& headers, std::string& out) const
    {
        for (int row = first; row < last; ++row) {
            appendBytes(out, formatField(headers.at(row - first), m_options));
            for (int column = 0; column < m_columns; ++column) {
                out += ',';
                double number;
                if (m_cells.store && row < m_cells.rows && column < m_cells.columns
                    && m_cells.store->number(size_t(row) * size_t(m_cells.columns) + size_t(column), number))
                    appendNumber(out, number, m_options);
                else
                    appendCell(out, value(row, column), m_options);
            }
            out += '\n';
        }
    }

private:
    QVariant value(int row, int column) const
    {
        if (m_cells.store && row < m_cells.rows && column < m_cells.columns)
            return m_cells.store->at(size_t(row) * size_t(m_cells.columns) + size_t(column));
        return m_table.data(m_table.index(row, column), KXValueRole);
    }

    // Read only on the writer's thread: a block formatted after the writer stopped early never
    // reaches it, since a host table's cells all come from the shared store.
    const QAbstractItemModel& m_table;
    const KXCsv::WriteOptions m_options;
    const int m_columns;
    KXDataModelGeneric::SharedCells m_cells;
};

/// One block of rows and its text.
struct RowBlock
{
    int first = 0;
    int last = 0;
    QVector<QVariant> headers;
    std::string text;
};

// About this many bytes of text per block: large enough to keep a pool thread busy, small
// enough that the blocks in flight cost little memory.
const qint64 BLOCK_CELLS = 1 << 15;

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

bool KXCsv::write(const QAbstractItemModel& table, const WriteOptions& options, const KXByteSink& sink)
{
    const int rows = table.rowCount(QModelIndex());
    const int columns = table.columnCount(QModelIndex());
    std::string header;
    for (int column = 0; column < columns; ++column) {
        header += ',';
        appendBytes(header, formatField(table.headerData(column, Qt::Horizontal, Qt::DisplayRole), options));
    }
    header += '\n';
    if (!sink(header.data(), qint64(header.size())))
        return false;

    // Blocks are formatted ahead on the pool, a few at a time, and written in order.
    const auto source = std::make_shared<const RowSource>(table, options);
    const int rowsPerBlock = int(qBound<qint64>(1, BLOCK_CELLS / qMax(columns, 1), qMax(rows, 1)));
    const int ahead = source->anyThread() ? qMax(2, QThreadPool::globalInstance()->maxThreadCount() + 1) : 1;
    std::deque<std::pair<std::shared_ptr<RowBlock>, std::shared_ptr<ClaimedTask>>> inFlight;
    // Blocks written go back for reuse: their text keeps its memory, which fresh blocks would
    // fault in page by page again.
    std::vector<std::shared_ptr<RowBlock>> written;
    int nextRow = 0;
    auto launch = [&] {
        std::shared_ptr<RowBlock> block;
        if (written.empty()) {
            block = std::make_shared<RowBlock>();
        } else {
            block = std::move(written.back());
            written.pop_back();
            block->headers.clear();
            block->text.clear();
        }
        block->first = nextRow;
        block->last = nextRow = int(qMin<qint64>(qint64(nextRow) + rowsPerBlock, rows));
        block->headers.reserve(block->last - block->first);
        for (int row = block->first; row < block->last; ++row)
            block->headers.append(table.headerData(row, Qt::Vertical, Qt::DisplayRole));
        auto task = std::make_shared<ClaimedTask>(
            [block, source] { source->format(block->first, block->last, block->headers, block->text); });
        if (source->anyThread())
            ClaimedTask::start(task);
        inFlight.emplace_back(std::move(block), std::move(task));
    };
    while (nextRow < rows || !inFlight.empty()) {
        while (nextRow < rows && int(inFlight.size()) < ahead)
            launch();
        const auto [block, task] = std::move(inFlight.front());
        inFlight.pop_front();
        task->wait();
        if (!sink(block->text.data(), qint64(block->text.size()))) {
            for (const auto& left : inFlight)
                left.second->drop();
            return false;
        }
        written.push_back(block);
    }
    return true;
}

QByteArray KXCsv::write(const QAbstractItemModel& table, const WriteOptions& options)
{
    QByteArray out;
    write(table, options, [&out](const char* data, qint64 size) {
        out.append(data, int(size));
        return true;
    });
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
    const bool written = write(table, options, [&file](const char* data, qint64 size) {
        return file.write(data, size) == size;
    });
    if (!written || !file.commit()) {
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
