#include "KXCsv.h"

#include "KXDataModel.h"
#include "KXHostFiles.h"
#include "KXNoValue.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QLocale>
#include <QSaveFile>
#include <QTextCodec>
#include <QVector>

#include <limits>

namespace {

// Larger files are refused rather than risk exhausting memory.
const qint64 MaximumFileSize = qint64(1) << 28;
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

/// Whether text reads entirely as a number of the C locale (nan and inf included).
bool readNumber(const QString& text, double* value)
{
    static const QLocale cLocale = [] {
        QLocale locale = QLocale::c();
        locale.setNumberOptions(QLocale::RejectGroupSeparator);
        return locale;
    }();
    bool ok = false;
    *value = cLocale.toDouble(text, &ok);
    return ok;
}

struct Field
{
    QByteArray bytes;
    bool quoted = false;
};

/// Splits CSV bytes into records of fields (RFC 4180), counting physical lines from 1.
/// record := field ("," field)* line-end ; field := quoted | bytes without , CR LF
class RecordReader
{
public:
    enum class Status { Record, End, UnterminatedQuote, TextAfterQuote, TooManyFields };

    RecordReader(const QByteArray& data, int start) : m_data(data), m_position(start) {}

    /// Reads the next record of at most maximumFields fields.
    Status next(QVector<Field>& fields, qint64 maximumFields)
    {
        fields.clear();
        if (m_position >= m_data.size())
            return Status::End;
        m_recordLine = m_line;
        for (;;) {
            Field field;
            if (peek() == '"') {
                const Status status = readQuoted(field);
                if (status != Status::Record)
                    return status;
            } else {
                const int start = m_position;
                while (m_position < m_data.size() && !isDelimiter(m_data.at(m_position)))
                    ++m_position;
                field.bytes = m_data.mid(start, m_position - start);
            }
            if (fields.size() >= maximumFields) {
                m_errorLine = m_recordLine;
                return Status::TooManyFields;
            }
            fields.append(field);
            if (m_position >= m_data.size())
                return Status::Record;
            const char delimiter = m_data.at(m_position++);
            if (delimiter == ',')
                continue;
            if (delimiter == '\r' && peek() == '\n')
                ++m_position;
            ++m_line;
            return Status::Record;
        }
    }

    /// The line on which the last record (or the failing field) starts.
    int recordLine() const { return m_recordLine; }
    int errorLine() const { return m_errorLine; }

private:
    static bool isDelimiter(char c) { return c == ',' || c == '\n' || c == '\r'; }
    char peek() const { return m_position < m_data.size() ? m_data.at(m_position) : '\0'; }

    Status readQuoted(Field& field)
    {
        field.quoted = true;
        const int openingLine = m_line;
        ++m_position;
        for (;;) {
            const int quote = m_data.indexOf('"', m_position);
            if (quote < 0) {
                m_errorLine = openingLine;
                return Status::UnterminatedQuote;
            }
            const QByteArray part = m_data.mid(m_position, quote - m_position);
            m_line += part.count('\n');
            field.bytes += part;
            m_position = quote + 1;
            if (peek() != '"')
                break;
            field.bytes += '"';
            ++m_position;
        }
        if (m_position < m_data.size() && !isDelimiter(peek())) {
            m_errorLine = m_line;
            return Status::TextAfterQuote;
        }
        return Status::Record;
    }

    const QByteArray& m_data;
    int m_position;
    int m_line = 1;
    int m_recordLine = 1;
    int m_errorLine = 1;
};

bool isBlankRecord(const QVector<Field>& fields)
{
    return fields.size() == 1 && !fields.at(0).quoted && fields.at(0).bytes.isEmpty();
}

bool decodeUtf8(const QByteArray& bytes, QString* text)
{
    static QTextCodec* const codec = QTextCodec::codecForName("UTF-8");
    // IgnoreHeader keeps a byte order mark that is part of the text.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    *text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

/// An empty unquoted field is an empty cell, an unquoted number a double, anything else text.
bool fieldValue(const Field& field, QVariant* value)
{
    QString text;
    if (!decodeUtf8(field.bytes, &text))
        return false;
    if (!field.quoted) {
        double number = 0.0;
        if (text.isEmpty()) {
            *value = QVariant();
            return true;
        }
        if (readNumber(text, &number)) {
            *value = number;
            return true;
        }
    }
    *value = text.isNull() ? QString(QLatin1String("")) : text;
    return true;
}

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

bool KXCsv::readFile(const QString& path, KXDataModelGeneric& table, QString* error)
{
    QByteArray data;
    QString reason;
    switch (KXHostFiles::readBounded(path, MaximumFileSize, &data, &reason)) {
    case KXHostFiles::ReadResult::CannotOpen:
        setError(error, cannotOpenMessage(path, reason));
        return false;
    case KXHostFiles::ReadResult::TooLarge:
        setError(error, tooLargeMessage(path));
        return false;
    case KXHostFiles::ReadResult::Ok:
        break;
    }
    return readData(data, path, table, error);
}

bool KXCsv::readData(const QByteArray& data, const QString& sourceName, KXDataModelGeneric& table, QString* error)
{
    const int start = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    RecordReader reader(data, start);
    QVector<Field> fields;

    auto fail = [&](RecordReader::Status status) {
        switch (status) {
        case RecordReader::Status::UnterminatedQuote:
            setError(error, unterminatedQuoteMessage(sourceName, reader.errorLine()));
            break;
        case RecordReader::Status::TextAfterQuote:
            setError(error, textAfterQuoteMessage(sourceName, reader.errorLine()));
            break;
        default:
            setError(error, tooManyFieldsMessage(sourceName, reader.errorLine()));
            break;
        }
        return false;
    };

    // Header line: the top-left field is ignored.
    RecordReader::Status status = reader.next(fields, MAXIMUM_CELLS + 1);
    if (status == RecordReader::Status::End)
        return table.setContents(0, 0, {}, {}, {});
    if (status == RecordReader::Status::TooManyFields) {
        setError(error, tooManyCellsMessage(sourceName, reader.errorLine()));
        return false;
    }
    if (status != RecordReader::Status::Record)
        return fail(status);
    const int columns = fields.size() - 1;
    QVector<QVariant> columnHeaders(columns);
    for (int column = 0; column < columns; ++column) {
        if (!fieldValue(fields.at(column + 1), &columnHeaders[column])) {
            setError(error, invalidUtf8Message(sourceName, reader.recordLine()));
            return false;
        }
    }

    QVector<QVariant> rowHeaders;
    QVector<QVariant> cells;
    // Blank lines become rows only when a row follows them, so that trailing blank lines are dropped.
    int pendingBlankRows = 0;
    auto addRow = [&]() {
        if (qint64(rowHeaders.size() + 1) * qMax(columns, 1) > MAXIMUM_CELLS) {
            setError(error, tooManyCellsMessage(sourceName, reader.recordLine()));
            return false;
        }
        rowHeaders.append(QVariant());
        cells.resize(cells.size() + columns);
        return true;
    };
    while ((status = reader.next(fields, columns + 1)) == RecordReader::Status::Record) {
        if (isBlankRecord(fields)) {
            ++pendingBlankRows;
            continue;
        }
        for (; pendingBlankRows > 0; --pendingBlankRows) {
            if (!addRow())
                return false;
        }
        if (!addRow())
            return false;
        const int rowStart = cells.size() - columns;
        bool decoded = fieldValue(fields.at(0), &rowHeaders.last());
        for (int field = 1; decoded && field < fields.size(); ++field)
            decoded = fieldValue(fields.at(field), &cells[rowStart + field - 1]);
        if (!decoded) {
            setError(error, invalidUtf8Message(sourceName, reader.recordLine()));
            return false;
        }
    }
    if (status != RecordReader::Status::End)
        return fail(status);
    return table.setContents(columns, rowHeaders.size(), cells, rowHeaders, columnHeaders);
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
