#include "KXEquationDataCommand.h"

#include "KXEquationCompiler.h"
#include "KXEquationVariableModel.h"

#include <QCoreApplication>
#include <QLocale>
#include <cstring>
#include <limits>

namespace {
// A 1-based index of a formula as the variable model's 0-based one; the smallest int has none.
int zeroBased(int index)
{
    return index > std::numeric_limits<int>::min() ? index - 1 : -1;
}

// SplitMix64's finaliser: every bit of the input reaches every bit of the output.
quint64 mixed(quint64 z)
{
    z += 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

quint64 bitsOf(double x)
{
    x = x == 0.0 ? 0.0 : x; // -0 is the cell 0
    quint64 bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// True when every node is present and one of them depends on the cell.
bool dependsOnCell(std::initializer_list<const KXEquationCommand*> nodes)
{
    bool anyRange = false;
    for (const KXEquationCommand* node : nodes) {
        if (!node)
            return false;
        anyRange = anyRange || node->isRangeVariable();
    }
    return anyRange;
}
}

// Data access

KXEquationDataCommand::KXEquationDataCommand(KXEquationVariableModel* variableModel, const QString& name,
                                             const QString& row, const QString& column)
    : KXEquationCommand(variableModel), m_name(name), m_row(interpret(row)), m_column(interpret(column))
{
}

KXEquationDataCommand::KXEquationDataCommand(KXEquationVariableModel* variableModel)
    : KXEquationCommand(variableModel)
{
}

KXEquationDataCommand::~KXEquationDataCommand() = default;

QVariant KXEquationDataCommand::evaluate() const
{
    const QVariant rowValue = m_row->evaluate();
    const QVariant columnValue = m_column->evaluate();
    return cellAt(rowValue, columnValue,
                  [this](int row, int column) { return readCell(*m_variableModel, m_name, row, column); });
}

int KXEquationDataCommand::compile(KXEquationCompiler& compiler) const
{
    const int row = compiler.compile(*m_row);
    const int column = compiler.compile(*m_column);
    return compiler.data(*this, m_name, row, column);
}

bool KXEquationDataCommand::toIndex(const QVariant& value, int& index)
{
    bool ok = false;
    index = zeroBased(value.toInt(&ok));
    return ok;
}

QVariant KXEquationDataCommand::cellAt(const QVariant& rowValue, const QVariant& columnValue,
                                       const CellReader& cell) const
{
    if (getError(rowValue))
        return rowValue;
    if (getError(columnValue))
        return columnValue;
    int row = 0;
    int column = 0;
    if (!toIndex(rowValue, row) || !toIndex(columnValue, column))
        return error(m_name + QCoreApplication::translate("KXEquationDataCommand", "(): Invalid arguments",
                                                          "() : Arguments incorrects", -1));
    return cell(row, column);
}

QVariant KXEquationDataCommand::readCell(const KXEquationVariableModel& model, const QString& name, int row,
                                         int column)
{
    QString message;
    const QVariant value = model.getVariableModelValue(name, row, column, message);
    return cellValue(name, value, message);
}

QVariant KXEquationDataCommand::cellValue(const QString& name, const QVariant& value, QString message)
{
    if (value.isNull()) {
        if (message.isEmpty())
            message = QCoreApplication::translate("KXEquationDataCommand", "Arguments or variable invalid",
                                                  "Arguments ou variable incorrects", -1);
        return errorValue(name + QLatin1String("() : ") + message);
    }
    // Text cells are typed by users of a French desktop: 3,5 is a number.
    if (value.type() == QVariant::String) {
        bool ok = false;
        const double number = QLocale(QLocale::French).toDouble(value.toString(), &ok);
        if (ok)
            return QVariant(number);
    }
    return value;
}

QString KXEquationDataCommand::toString() const
{
    return m_name + QLatin1Char('(') + m_row->toString() + QLatin1Char(',') + m_column->toString()
        + QLatin1Char(')');
}

bool KXEquationDataCommand::isRangeVariable() const
{
    return dependsOnCell({m_row.get(), m_column.get()});
}

KXEquationCommand* KXEquationDataCommand::clone(KXEquationVariableModel* target) const
{
    std::unique_ptr<KXEquationDataCommand> copy(new KXEquationDataCommand(target));
    copy->m_name = m_name;
    copy->m_row = cloneOf(m_row, target);
    copy->m_column = cloneOf(m_column, target);
    return copy.release();
}

// Headers

const KXEquationHeaderCommand::Traits KXEquationColNameCommand::familyTraits = {
    "KXEquationColNameCommand", "colName", Qt::Horizontal,
    "colName(): invalid arguments", "colName() : Argument incorrects",
    ": invalid argument or variable", " : Argument ou variable incorrect"};
const KXEquationHeaderCommand::Traits KXEquationRowNameCommand::familyTraits = {
    "KXEquationRowNameCommand", "rowName", Qt::Vertical,
    "rowName(): invalid arguments", "rowName() : Argument incorrects",
    "(): invalid arguments or variable", "() : Arguments ou variable incorrects"};

KXEquationHeaderCommand::KXEquationHeaderCommand(KXEquationVariableModel* variableModel, const QString& name,
                                                 const QString& index)
    : KXEquationCommand(variableModel), m_name(name), m_index(interpret(index))
{
}

KXEquationHeaderCommand::KXEquationHeaderCommand(KXEquationVariableModel* variableModel)
    : KXEquationCommand(variableModel)
{
}

KXEquationHeaderCommand::~KXEquationHeaderCommand() = default;

QVariant KXEquationHeaderCommand::evaluate() const
{
    return headerAt(m_index->evaluate(), [this](int section) {
        return traits().orientation == Qt::Horizontal
            ? m_variableModel->getVariableModelHorizontalHeader(m_name, section)
            : m_variableModel->getVariableModelVerticalHeader(m_name, section);
    });
}

int KXEquationHeaderCommand::compile(KXEquationCompiler& compiler) const
{
    return compiler.header(*this, m_name, traits().orientation, compiler.compile(*m_index));
}

QVariant KXEquationHeaderCommand::headerAt(const QVariant& indexValue, const HeaderReader& read) const
{
    if (getError(indexValue))
        return indexValue;
    const Traits& row = traits();
    bool ok = false;
    const int section = zeroBased(indexValue.toInt(&ok));
    if (!ok || m_name.isEmpty() || section < 0)
        return error(QCoreApplication::translate(row.className, row.invalidEnglish, row.invalidFrench, -1));
    const QVariant header = read(section);
    if (header.isNull())
        return error(m_name + QCoreApplication::translate(row.className, row.unknownEnglish, row.unknownFrench, -1));
    return header;
}

QString KXEquationHeaderCommand::toString() const
{
    return QLatin1String(traits().keyword) + QLatin1Char('(') + m_name + QLatin1Char(',') + m_index->toString()
        + QLatin1Char(')');
}

bool KXEquationHeaderCommand::isRangeVariable() const
{
    return m_index && m_index->isRangeVariable();
}

KXEquationCommand* KXEquationHeaderCommand::clone(KXEquationVariableModel* target) const
{
    std::unique_ptr<KXEquationHeaderCommand> copy(createBare(target));
    copy->m_name = m_name;
    copy->m_index = cloneOf(m_index, target);
    return copy.release();
}

// Random numbers

KXEquationRandCommand::KXEquationRandCommand(KXEquationVariableModel* variableModel, const QString& start,
                                             const QString& end)
    : KXEquationCommand(variableModel), m_start(interpret(start)), m_end(interpret(end))
{
}

KXEquationRandCommand::KXEquationRandCommand(KXEquationVariableModel* variableModel)
    : KXEquationCommand(variableModel)
{
}

KXEquationRandCommand::~KXEquationRandCommand() = default;

QVariant KXEquationRandCommand::evaluate() const
{
    if (!m_start || !m_end)
        return QVariant(nextDraw());
    const QVariant startValue = m_start->evaluate();
    const QVariant endValue = m_end->evaluate();
    return drawBetween(startValue, endValue, nextDraw());
}

// A counter-based generator: no state is shared between cells or threads, so a table is the
// same whichever engine, thread or order computes its cells.
int KXEquationRandCommand::fifteenBits(quint64 seed, double row, double column, quint64 draw)
{
    quint64 key = mixed(seed);
    key = mixed(key ^ bitsOf(row));
    key = mixed(key ^ bitsOf(column));
    key = mixed(key ^ draw);
    return int(key >> 49);
}

int KXEquationRandCommand::nextDraw() const
{
    KXEquationVariableModel& variables = *m_variableModel;
    return fifteenBits(variables.randomSeed(), variables.cellRow(), variables.cellColumn(),
                       variables.takeRandomDraw());
}

int KXEquationRandCommand::compile(KXEquationCompiler& compiler) const
{
    if (!m_start || !m_end)
        return compiler.random(*this, -1, -1);
    const int start = compiler.compile(*m_start);
    const int end = compiler.compile(*m_end);
    return compiler.random(*this, start, end);
}

QVariant KXEquationRandCommand::drawBetween(const QVariant& startValue, const QVariant& endValue, int draw) const
{
    if (getError(startValue))
        return startValue;
    if (getError(endValue))
        return endValue;
    bool ok = false;
    const double start = startValue.toDouble(&ok);
    if (!ok)
        return error(QCoreApplication::translate("KXEquationRandCommand", "rand(): Invalid minimum range",
                                                 "rand() : Intervalle minimum invalide", -1));
    const double end = endValue.toDouble(&ok);
    if (!ok)
        return error(QCoreApplication::translate("KXEquationRandCommand", "rand(): Invalid maximum range",
                                                 "rand() : Intervalle maximum invalide", -1));
    // Strict comparisons: NaN bounds pass.
    if (start < 0 || end < 0 || end - start < 0)
        return error(QCoreApplication::translate("KXEquationRandCommand", "rand(): Invalid arguments",
                                                 "rand() : Arguments incorrects", -1));
    return QVariant(start + draw * (end - start) * 3.0517578125e-05);
}

QString KXEquationRandCommand::toString() const
{
    if (!m_start || !m_end)
        return QStringLiteral("rand()");
    return QLatin1String("rand(") + m_start->toString() + QLatin1Char(',') + m_end->toString() + QLatin1Char(')');
}

bool KXEquationRandCommand::isRangeVariable() const
{
    return dependsOnCell({m_start.get(), m_end.get()});
}

KXEquationCommand* KXEquationRandCommand::clone(KXEquationVariableModel* target) const
{
    std::unique_ptr<KXEquationRandCommand> copy(new KXEquationRandCommand(target));
    copy->m_start = cloneOf(m_start, target);
    copy->m_end = cloneOf(m_end, target);
    return copy.release();
}

// Conditions

KXEquationIfCommand::KXEquationIfCommand(KXEquationVariableModel* variableModel, const QString& condition,
                                         const QString& whenTrue, const QString& whenFalse)
    : KXEquationCommand(variableModel),
      m_condition(interpret(condition)),
      m_whenTrue(interpret(whenTrue)),
      m_whenFalse(interpret(whenFalse))
{
}

KXEquationIfCommand::KXEquationIfCommand(KXEquationVariableModel* variableModel) : KXEquationCommand(variableModel)
{
}

KXEquationIfCommand::~KXEquationIfCommand() = default;

QVariant KXEquationIfCommand::evaluate() const
{
    const QVariant condition = m_condition->evaluate();
    const QVariant failure = conditionFailure(condition);
    if (failure.isValid())
        return failure;
    return condition.toBool() ? m_whenTrue->evaluate() : m_whenFalse->evaluate();
}

int KXEquationIfCommand::compile(KXEquationCompiler& compiler) const
{
    const int test = compiler.compile(*m_condition);
    const int whenTrue = compiler.compile(*m_whenTrue);
    const int whenFalse = compiler.compile(*m_whenFalse);
    return compiler.condition(*this, test, whenTrue, whenFalse);
}

QVariant KXEquationIfCommand::conditionFailure(const QVariant& condition)
{
    if (getError(condition))
        return errorValue(QCoreApplication::translate("KXEquationIfCommand",
                                                      "if(): first argument condition is not valid",
                                                      "if() : Le premier argument de condition n'est pas valide", -1));
    if (condition.type() != QVariant::Bool)
        return errorValue(QCoreApplication::translate(
            "KXEquationIfCommand", "if(): first condition argument is not a boolean",
            "if() : Le premier argument de condition n'est pas de type booléen", -1));
    return QVariant();
}

QString KXEquationIfCommand::toString() const
{
    const QLatin1Char semicolon(';');
    return QLatin1String("if(") + m_condition->toString() + semicolon + m_whenTrue->toString() + semicolon
        + m_whenFalse->toString() + QLatin1Char(')');
}

bool KXEquationIfCommand::isRangeVariable() const
{
    return dependsOnCell({m_condition.get(), m_whenTrue.get(), m_whenFalse.get()});
}

KXEquationCommand* KXEquationIfCommand::clone(KXEquationVariableModel* target) const
{
    std::unique_ptr<KXEquationIfCommand> copy(new KXEquationIfCommand(target));
    copy->m_condition = cloneOf(m_condition, target);
    copy->m_whenTrue = cloneOf(m_whenTrue, target);
    copy->m_whenFalse = cloneOf(m_whenFalse, target);
    return copy.release();
}

// Constant values

KXEquationValCommand::KXEquationValCommand(KXEquationVariableModel* variableModel, const QString& name)
    : KXEquationCommand(variableModel), m_name(name)
{
}

KXEquationValCommand::KXEquationValCommand(KXEquationVariableModel* variableModel) : KXEquationCommand(variableModel)
{
}

KXEquationValCommand::~KXEquationValCommand() = default;

QVariant KXEquationValCommand::evaluate() const
{
    return QVariant(m_variableModel->getVariableConstantValue(m_name));
}

QString KXEquationValCommand::toString() const
{
    return QLatin1String("val(") + m_name + QLatin1Char(')');
}

KXEquationCommand* KXEquationValCommand::clone(KXEquationVariableModel* target) const
{
    return new KXEquationValCommand(target, m_name);
}

int KXEquationValCommand::compile(KXEquationCompiler& compiler) const
{
    return compiler.val(*this, m_name);
}
