#include "KXEquationInterpreter.h"

#include "KXEquationCommand.h"
#include "KXEquationDataSelectionCommand.h"
#include "KXEquationFacts.h"
#include "KXEquationOperatorCommand.h"
#include "KXEquationReadParts.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"

#include <QCoreApplication>
#include <QRegExp>
#include <QVector>

#include <algorithm>

namespace {

// Nesting depth of interpret on this thread: node constructors call interpret again, so a deep
// formula would otherwise exhaust the stack.
thread_local int interpretDepth = 0;

class DepthGuard
{
public:
    DepthGuard() { ++interpretDepth; }
    ~DepthGuard() { --interpretDepth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

[[noreturn]] void raise(const QString& message, const QString& text, int start, int length)
{
    throw KXEquationReadError(message, text, start, length);
}

QString tooComplex()
{
    return KXEquationInterpreter::tr("Expression too complex", "Expression trop complexe");
}

// Moves error from copy, the text with its blanks removed and perhaps unwrapped from one pair of
// parentheses, back into text, the text as the caller gave it.
void locateInOriginal(KXEquationReadError& error, const QString& text, const QString& copy, bool unwrapped)
{
    if (error.text() != copy) {
        error.setLocation(text, 0, text.length());
        return;
    }
    // Where each character of the copy stands in text; the same walk as removeWhiteSpace.
    QVector<int> kept;
    kept.reserve(text.length());
    bool inText = false;
    for (int k = 0; k < text.length(); ++k) {
        const QChar c = text.at(k);
        if (c == QLatin1Char('"'))
            inText = !inText;
        if (inText || !c.isSpace())
            kept.append(k);
    }
    const int first = error.start() + (unwrapped ? 1 : 0);
    if (error.length() > 0) {
        const int start = kept.value(first);
        error.setLocation(text, start, kept.value(first + error.length() - 1) + 1 - start);
        return;
    }
    const int place = first < kept.size() ? kept.at(first) : (kept.isEmpty() ? text.length() : kept.last() + 1);
    error.setLocation(text, place, 0);
}
}

KXEquationReadError::KXEquationReadError(const QString& message, const QString& text, int start, int length)
    : KXError(message, QString(), QString()), m_text(text), m_start(start), m_length(length)
{
}

void KXEquationReadError::setLocation(const QString& text, int start, int length)
{
    m_text = text;
    m_start = start;
    m_length = length;
}

void KXEquationReadParts::locate(KXEquationReadError& error, const QString& whole, const QVector<Part>& parts)
{
    // Reading is deterministic, so of two equal parts the first read is the one that failed.
    for (const Part& part : parts) {
        if (whole.midRef(part.start, part.length) == error.text()) {
            error.setLocation(whole, part.start + error.start(), error.length());
            return;
        }
    }
    error.setLocation(whole, 0, whole.length());
}

namespace {
QString invalidSyntax(const QString& text)
{
    return KXEquationInterpreter::tr("Invalid syntax: ", "Expression invalide : ") + text;
}
}

KXEquationInterpreter::KXEquationInterpreter(KXEquationVariableModel* variableModel) : m_variableModel(variableModel)
{
}

KXEquationInterpreter::~KXEquationInterpreter() = default;

QString KXEquationInterpreter::tr(const char* english, const char* french, int n)
{
    return QCoreApplication::translate("KXEquationInterpreter", english, french, n);
}

// formula := selection | constant | function-call | operand operator operand, tried in this order
KXEquationCommand* KXEquationInterpreter::interpret(const QString& text)
{
    DepthGuard depth;
    if (interpretDepth > MaximumDepth)
        raise(tooComplex(), text, 0, text.length());
    if (text.length() == 0)
        raise(tr("Expression to evaluate is empty", "L'expression à évaluer est vide"), text, 0, 0);
    if (!isParenthesisValid(text))
        raise(tr("Invalid parenthesis count", "Le nombre de parenthèses est incorrect"), text,
              unmatchedParenthesis(text), 1);
    // A text that would certainly nest too deep is refused in one pass instead of a thousand.
    if (interpretDepth == 1 && minimumDepth(text) > MaximumDepth)
        raise(tooComplex(), text, 0, text.length());

    QString copy = text;
    removeWhiteSpace(copy);
    const bool unwrapped = copy.startsWith(QLatin1Char('(')) && getParenthesis(copy, 0) == copy.length() - 1;
    if (unwrapped)
        copy = copy.mid(1, copy.length() - 2);

    // What the readers below raise lies in copy.
    try {
        if (KXEquationCommand* node = interpretSelectionRange(copy))
            return node;
        if (KXEquationCommand* node = interpretConstant(copy))
            return node;
        if (KXEquationCommand* node = interpretFunctions(copy))
            return node;
        if (KXEquationCommand* node = interpretOperations(copy))
            return node;
    } catch (KXEquationReadError& error) {
        locateInOriginal(error, text, copy, unwrapped);
        throw;
    }
    raise(invalidSyntax(text), text, 0, text.length());
}

// selection := "[" column "|" row ":" column "|" row "]"
KXEquationCommand* KXEquationInterpreter::interpretSelectionRange(const QString& text)
{
    // A failed match leaves an empty whole match, so only an empty text or one between brackets
    // can equal it; the shortcut spares long texts the pattern search.
    if (text.isEmpty())
        return new KXEquationDataSelectionCommand(m_variableModel, text);
    if (!text.startsWith(QLatin1Char('[')) || !text.endsWith(QLatin1Char(']')))
        return nullptr;
    QRegExp pattern{QLatin1String(KXEquationSelectionPattern)};
    pattern.indexIn(text, 0);
    if (pattern.cap(0) == text && pattern.captureCount() == 4)
        return new KXEquationDataSelectionCommand(m_variableModel, text);
    return nullptr;
}

// constant := number | name | "-" one-character-name | '"' characters '"'
KXEquationCommand* KXEquationInterpreter::interpretConstant(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (ok)
        return new KXEquationDoubleConstantCommand(m_variableModel, value);
    if (m_variableModel->variableConstantExist(text))
        return new KXEquationDataModelConstantCommand(m_variableModel, text, false);
    if (text.length() == 2 && text.at(0) == QLatin1Char('-')
        && m_variableModel->variableConstantExist(text.mid(1)))
        return new KXEquationDataModelConstantCommand(m_variableModel, text.mid(1), true);
    QString content;
    if (getStringValue(text, content))
        return new KXEquationStringConstantCommand(m_variableModel, content);
    return nullptr;
}

// operation := left operator right, split at the weakest, right-most operator outside groups and texts
KXEquationCommand* KXEquationInterpreter::interpretOperations(const QString& text)
{
    int position = -1;
    int operatorLength = -1;
    evaluatePriority(text, position, operatorLength);
    if (position == 0 || position == text.length() - 1)
        raise(invalidSyntax(text), text, 0, text.length());
    try {
        switch (operatorLength) {
        case 3:
            return interpret3TokenOperator(text, position);
        case 2:
            return interpret2TokenOperator(text, position);
        case 1:
            return interpret1TokenOperator(text, position);
        default:
            return nullptr;
        }
    } catch (KXEquationReadError& error) {
        // A left operand that ends with an operator (2* in 2*-x) fails for want of a right operand:
        // the operator read here is the one that stands where an operand should.
        const QString left = text.left(position);
        if (!left.isEmpty() && QStringLiteral("+-*/%^<>=").contains(left.back())
            && error.message() == invalidSyntax(left))
            error.setLocation(text, position, operatorLength);
        throw;
    }
}

KXEquationCommand* KXEquationInterpreter::interpret3TokenOperator(const QString& text, int position)
{
    return KXEquationReadParts::build(
        text,
        [&] {
            return KXEquationOperatorCommand::create(m_variableModel, text.mid(position, 3), text.left(position),
                                                     text.mid(position + 3));
        },
        [&] { return QVector<KXEquationReadParts::Part>{{0, position}, {position + 3, text.length() - position - 3}}; });
}

KXEquationCommand* KXEquationInterpreter::interpret2TokenOperator(const QString& text, int position)
{
    return KXEquationReadParts::build(
        text,
        [&] {
            return KXEquationOperatorCommand::create(m_variableModel, text.mid(position, 2), text.left(position),
                                                     text.mid(position + 2));
        },
        [&] { return QVector<KXEquationReadParts::Part>{{0, position}, {position + 2, text.length() - position - 2}}; });
}

KXEquationCommand* KXEquationInterpreter::interpret1TokenOperator(const QString& text, int position)
{
    return KXEquationReadParts::build(
        text,
        [&] {
            return KXEquationOperatorCommand::create(m_variableModel, text.mid(position, 1), text.left(position),
                                                     text.mid(position + 1));
        },
        [&] { return QVector<KXEquationReadParts::Part>{{0, position}, {position + 1, text.length() - position - 1}}; });
}

namespace {
using OperatorRow = KXEquationOperatorCommand::Traits;

bool writtenAt(const QString& text, int k, const char* symbol)
{
    for (int n = 0; symbol[n] != 0; ++n) {
        if (k + n >= text.length() || text.at(k + n).unicode() != ushort(symbol[n]))
            return false;
    }
    return true;
}

// A minus that opens an operand is the sign of a number or a constant.
bool isSign(const OperatorRow& row)
{
    return qstrcmp(row.symbol, "-") == 0;
}
}

// The split point: the right-most operator of the lowest level outside groups and texts; a longer
// operator at the same place ("<=") replaces the shorter one taken just before it ("=").
void KXEquationInterpreter::evaluatePriority(const QString& text, int& position, int& operatorLength)
{
    int level = KXEquationOperatorCommand::LevelCount;
    int depth = 0;
    bool inText = false;
    for (int k = text.length() - 1; k >= 0; --k) {
        if (depth == 0 && !inText) {
            const auto& rows = KXEquationOperatorCommand::longestFirst();
            const auto found = std::find_if(rows.begin(), rows.end(), [&](const OperatorRow* row) {
                return row->level < level && writtenAt(text, k, row->symbol) && !(k == 0 && isSign(*row));
            });
            if (found != rows.end()) {
                level = (*found)->level;
                position = k;
                operatorLength = int(qstrlen((*found)->symbol));
                continue;
            }
        }
        const QChar c = text.at(k);
        if (!inText && c == QLatin1Char('('))
            ++depth;
        else if (!inText && c == QLatin1Char(')'))
            --depth;
        else if (c == QLatin1Char('"'))
            inText = !inText;
    }
}

// A lower bound of the nesting that reading needs: a group of parentheses is read one level below
// its surroundings, and each operator of the weakest level in an argument adds one level.
int KXEquationInterpreter::minimumDepth(const QString& text)
{
    struct Segment {
        int counts[KXEquationOperatorCommand::LevelCount] = {};
        int weakestCount() const
        {
            for (int count : counts) {
                if (count > 0)
                    return count;
            }
            return 0;
        }
    };
    QVector<Segment> groups(1);
    int deepest = 0;
    auto closeSegment = [&groups, &deepest] {
        deepest = qMax(deepest, groups.size() - 1 + groups.last().weakestCount());
        groups.last() = Segment();
    };
    const auto& rows = KXEquationOperatorCommand::longestFirst();
    const int length = text.length();
    bool inText = false;
    for (int k = 0; k < length; ++k) {
        const ushort c = text.at(k).unicode();
        if (c == '"') {
            inText = !inText;
            continue;
        }
        if (inText)
            continue;
        switch (c) {
        case '[': {
            const int close = text.indexOf(QLatin1Char(']'), k);
            k = close < 0 ? length : close;
            continue;
        }
        case '(':
            groups.append(Segment());
            continue;
        case ')':
            closeSegment();
            if (groups.size() > 1)
                groups.removeLast();
            continue;
        case ',':
        case ';':
            closeSegment();
            continue;
        default:
            break;
        }
        const auto found = std::find_if(rows.begin(), rows.end(),
                                        [&](const OperatorRow* row) { return writtenAt(text, k, row->symbol); });
        if (found == rows.end())
            continue;
        const QChar previous = k > 0 ? text.at(k - 1) : QChar();
        const bool sign = isSign(**found) && !previous.isLetterOrNumber() && previous != QLatin1Char(')')
                          && previous != QLatin1Char('"');
        if (!sign)
            ++groups.last().counts[(*found)->level];
        k += int(qstrlen((*found)->symbol)) - 1;
    }
    closeSegment();
    return deepest;
}

bool KXEquationInterpreter::getStringValue(const QString& text, QString& value)
{
    if (!text.startsWith(QLatin1Char('"')))
        return false;
    const int end = getString(text, 0);
    if (end != text.length() - 1)
        return false;
    value = text.mid(1, text.length() - 2);
    return true;
}

bool KXEquationInterpreter::isParenthesisValid(const QString& text)
{
    int count = 0;
    bool inText = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            inText = !inText;
        else if (!inText && c == QLatin1Char('('))
            ++count;
        else if (!inText && c == QLatin1Char(')'))
            --count;
    }
    return count == 0;
}

// The parenthesis that has no partner: the first closing one too many, else the last opening one left open.
int KXEquationInterpreter::unmatchedParenthesis(const QString& text)
{
    QVector<int> open;
    bool inText = false;
    for (int k = 0; k < text.length(); ++k) {
        const QChar c = text.at(k);
        if (c == QLatin1Char('"')) {
            inText = !inText;
        } else if (!inText && c == QLatin1Char('(')) {
            open.append(k);
        } else if (!inText && c == QLatin1Char(')')) {
            if (open.isEmpty())
                return k;
            open.removeLast();
        }
    }
    return open.isEmpty() ? 0 : open.last();
}

int KXEquationInterpreter::getParenthesis(const QString& text, int start)
{
    int count = 0;
    for (int k = start; k < text.length(); ++k) {
        if (text.at(k) == QLatin1Char('('))
            ++count;
        else if (text.at(k) == QLatin1Char(')'))
            --count;
        if (count == 0)
            return k;
    }
    return start;
}

int KXEquationInterpreter::getString(const QString& text, int start)
{
    bool open = false;
    for (int k = start; k < text.length(); ++k) {
        if (text.at(k) != QLatin1Char('"'))
            continue;
        if (open)
            return k;
        open = true;
    }
    return start;
}

void KXEquationInterpreter::removeWhiteSpace(QString& text)
{
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); }))
        return;
    QString kept;
    kept.reserve(text.length());
    bool inText = false;
    for (const QChar c : qAsConst(text)) {
        if (c == QLatin1Char('"'))
            inText = !inText;
        if (inText || !c.isSpace())
            kept.append(c);
    }
    text = kept;
}

bool KXEquationInterpreter::getParam(const QString& text, QString& p1, QString& p2, QString& p3, QString& p4)
{
    const QStringList parts = text.split(QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (parts.size() < 4)
        return false;
    p1 = parts.at(0);
    p2 = parts.at(1);
    p3 = parts.at(2);
    p4 = parts.mid(3).join(QLatin1Char(','));
    return true;
}
