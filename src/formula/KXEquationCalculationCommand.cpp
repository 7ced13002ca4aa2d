#include "KXEquationCalculationCommand.h"

#include "KXEquationCompiler.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXEquationFacts.h"

#include <QCoreApplication>

#include <cmath>

namespace {
using Form = KXEquationCalculationCommand::Form;

QVariant noValue()
{
    return QVariant(int(KXNoValue));
}

// The numbers among the values; the others are skipped but still count in averages.
QVector<double> numbersOf(const QVariantList& values)
{
    QVector<double> numbers;
    numbers.reserve(values.size());
    for (const QVariant& value : values) {
        bool ok = false;
        const double x = value.toDouble(&ok);
        if (ok)
            numbers.append(x);
    }
    return numbers;
}

double sumOf(const QVector<double>& numbers)
{
    double acc = 0.0;
    for (const double x : numbers)
        acc += x;
    return acc;
}

QVariant selectionSum(const QVariantList& values)
{
    return QVariant(sumOf(numbersOf(values)));
}

QVariant selectionProd(const QVariantList& values)
{
    double acc = 1.0;
    for (const double x : numbersOf(values))
        acc *= x;
    return QVariant(acc);
}

QVariant selectionAverage(const QVariantList& values)
{
    if (values.isEmpty())
        return noValue();
    return QVariant(sumOf(numbersOf(values)) / values.size());
}

// The first value seeds the extreme even when it is no number (it then counts as 0).
template <bool (*replaces)(double, double)>
QVariant selectionExtreme(const QVariantList& values)
{
    if (values.isEmpty())
        return noValue();
    double extreme = values.first().toDouble();
    for (const double x : numbersOf(values)) {
        if (replaces(x, extreme))
            extreme = x;
    }
    return QVariant(extreme);
}

bool smaller(double x, double extreme)
{
    return x < extreme;
}

bool larger(double x, double extreme)
{
    return x > extreme;
}

double selectionVarianceOf(const QVariantList& values)
{
    const QVector<double> numbers = numbersOf(values);
    const double mean = sumOf(numbers) / values.size();
    double squares = 0.0;
    for (const double x : numbers)
        squares += (x - mean) * (x - mean);
    return squares / (values.size() - 1);
}

QVariant selectionVar(const QVariantList& values)
{
    if (values.isEmpty())
        return noValue();
    return QVariant(selectionVarianceOf(values));
}

QVariant selectionStdDev(const QVariantList& values)
{
    if (values.isEmpty())
        return noValue();
    return QVariant(std::sqrt(selectionVarianceOf(values)));
}
}

// The ranged table
const KXEquationCalculationCommand::Traits KXEquationCalculationSumCommand::familyTraits = {
    "KXEquationCalculationSumCommand", "sum", Form::Accumulate, 0.0, KXEquationCalculationCommand::addStep, false, nullptr,
    "sum(): Invalid syntax", "sum() : Expression invalide",
    "sum(): Returned value is not numeric", "sum() : L'expression n'est pas de type numérique"};
const KXEquationCalculationCommand::Traits KXEquationCalculationProdCommand::familyTraits = {
    "KXEquationCalculationProdCommand", "prod", Form::Accumulate, 1.0, KXEquationCalculationCommand::multiplyStep, false, nullptr,
    "prod(): Invalid syntax", "prod(): Expression invalide", nullptr, nullptr};
const KXEquationCalculationCommand::Traits KXEquationCalculationAverageCommand::familyTraits = {
    "KXEquationCalculationAverageCommand", "average", Form::Accumulate, 0.0, KXEquationCalculationCommand::addStep, true, nullptr,
    "average(): Invalid syntax", "average() : Expression invalide", nullptr, nullptr};
const KXEquationCalculationCommand::Traits KXEquationCalculationMinCommand::familyTraits = {
    "KXEquationCalculationMinCommand", "min", Form::Extreme, 0.0, nullptr, false, smaller,
    "min(): Invalid syntax", "min(): Expression invalide", nullptr, nullptr};
const KXEquationCalculationCommand::Traits KXEquationCalculationMaxCommand::familyTraits = {
    "KXEquationCalculationMaxCommand", "max", Form::Extreme, 0.0, nullptr, false, larger,
    "max(): Invalid syntax", "max(): Expression invalide", nullptr, nullptr};
const KXEquationCalculationCommand::Traits KXEquationCalculationStdDevCommand::familyTraits = {
    "KXEquationCalculationStdDevCommand", "stdDev", Form::StandardDeviation, 0.0, nullptr, false, nullptr,
    "stdDev(): Invalid syntax", "stdDev() : Expression invalide", nullptr, nullptr};
const KXEquationCalculationCommand::Traits KXEquationCalculationVarCommand::familyTraits = {
    "KXEquationCalculationVarCommand", "var", Form::Variance, 0.0, nullptr, false, nullptr,
    "stdDev() or var(): Invalid expression", "stdDev() ou var() : Expression invalide", nullptr, nullptr};

// The selection table
const KXEquationCalculationSelectionCommand::Traits KXEquationCalculationSumSelectionCommand::familyTraits = {
    "sum(%1)", selectionSum};
const KXEquationCalculationSelectionCommand::Traits KXEquationCalculationProdSelectionCommand::familyTraits = {
    "prod(%1)", selectionProd};
const KXEquationCalculationSelectionCommand::Traits KXEquationCalculationAverageSelectionCommand::familyTraits = {
    "average(%1)", selectionAverage};
const KXEquationCalculationSelectionCommand::Traits KXEquationCalculationMinSelectionCommand::familyTraits = {
    "min(%1)", selectionExtreme<smaller>};
const KXEquationCalculationSelectionCommand::Traits KXEquationCalculationMaxSelectionCommand::familyTraits = {
    "max(%1)", selectionExtreme<larger>};
const KXEquationCalculationSelectionCommand::Traits KXEquationCalculationStdDevSelectionCommand::familyTraits = {
    "stdDev(%1)", selectionStdDev};
const KXEquationCalculationSelectionCommand::Traits KXEquationCalculationVarSelectionCommand::familyTraits = {
    "var(%1)", selectionVar};

// Ranged aggregates

KXEquationCalculationCommand::KXEquationCalculationCommand(KXEquationVariableModel* variableModel,
                                                           const QString& variableName, const QString& start,
                                                           const QString& end, const QString& expression)
    : KXEquationCommand(variableModel), m_variableName(variableName)
{
    // Known before the texts are read, so that they may name the loop variable.
    m_variableModel->addVariable(m_variableName, KXNoValue);
    try {
        m_start = interpret(start);
        m_end = interpret(end);
        m_expression = interpret(expression);
    } catch (...) {
        removeLoopVariable();
        throw;
    }
}

KXEquationCalculationCommand::KXEquationCalculationCommand(KXEquationVariableModel* variableModel)
    : KXEquationCommand(variableModel)
{
}

KXEquationCalculationCommand::~KXEquationCalculationCommand()
{
    removeLoopVariable();
}

void KXEquationCalculationCommand::setVariableName(const QString& name)
{
    m_variableName = name;
    m_variableModel->addVariable(m_variableName, KXNoValue);
}

void KXEquationCalculationCommand::setExpression(const QString& expression)
{
    m_expression = interpret(expression);
}

// Only a constant of that name is the loop variable: a dataset variable of the same name stays.
void KXEquationCalculationCommand::removeLoopVariable() const
{
    if (!m_variableName.isEmpty() && m_variableModel->variableConstantExist(m_variableName))
        m_variableModel->removeVariable(m_variableName);
}

QString KXEquationCalculationCommand::toString() const
{
    const QLatin1Char comma(',');
    return QLatin1String(traits().keyword) + QLatin1Char('(') + m_variableName + comma + m_start->toString() + comma
        + m_end->toString() + comma + m_expression->toString() + QLatin1Char(')');
}

bool KXEquationCalculationCommand::isRangeVariable() const
{
    if (!m_start || !m_end || !m_expression)
        return false;
    return m_start->isRangeVariable() || m_end->isRangeVariable() || m_expression->isRangeVariable();
}

KXEquationCommand* KXEquationCalculationCommand::clone(KXEquationVariableModel* target) const
{
    std::unique_ptr<KXEquationCalculationCommand> copy(createBare(target));
    copy->m_variableName = m_variableName;
    copy->m_start = cloneOf(m_start, target);
    copy->m_end = cloneOf(m_end, target);
    copy->m_expression = cloneOf(m_expression, target);
    return copy.release();
}

QVariant KXEquationCalculationCommand::message(const char* english, const char* french) const
{
    return error(QCoreApplication::translate(traits().className, english, french, -1));
}

// Once the bounds are read, no path leaves the loop variable behind in the variable model;
// bounds that cannot be read leave it as it was.
struct KXEquationCalculationCommand::LoopVariableScope
{
    const KXEquationCalculationCommand& command;
    ~LoopVariableScope() { command.removeLoopVariable(); }
};

QVariant KXEquationCalculationCommand::evaluate() const
{
    if (traits().form == Form::Accumulate || traits().form == Form::Extreme)
        return evaluateRange();
    if (traits().form == Form::Variance)
        return variance();
    // stdDev's inner var is destroyed on every path, and removes the loop variable with it.
    const LoopVariableScope scope{*this};
    return standardDeviation();
}

namespace {
// The tree's own loop: the loop variable is a constant of the node's variable model.
class TreeBody final : public KXEquationCalculationCommand::Body
{
public:
    TreeBody(KXEquationVariableModel& model, const QString& name, const KXEquationCommand& expression)
        : m_model(model), m_name(name), m_expression(expression)
    {
    }
    QVariant valueAt(qint64 k) override
    {
        // A computation being cancelled must not wait for a billion-step loop in one of its cells.
        if (m_model.cancelRequested())
            return KXEquationCommand::errorValue(
                QCoreApplication::translate("KXEquationComputation", "Computation cancelled", "Calcul annulé"));
        m_model.addVariable(m_name, double(k));
        return m_expression.evaluate();
    }
    // Only a constant of that name is the loop variable: a dataset variable of the same name stays.
    void removeLoopVariable() override
    {
        if (!m_name.isEmpty() && m_model.variableConstantExist(m_name))
            m_model.removeVariable(m_name);
    }

private:
    KXEquationVariableModel& m_model;
    const QString& m_name;
    const KXEquationCommand& m_expression;
};
}

int KXEquationCalculationCommand::compile(KXEquationCompiler& compiler) const
{
    compiler.loopVariable(m_variableName);
    const int start = compiler.compile(*m_start);
    const int end = compiler.compile(*m_end);
    const int expression = compiler.compile(*m_expression);
    // var and stdDev read formula text while they evaluate: they stay trees.
    if (traits().form == Form::Variance || traits().form == Form::StandardDeviation)
        return compiler.fallback(*this);
    return compiler.range(*this, traits(), m_variableName, start, end, expression);
}

double KXEquationCalculationCommand::addStep(double acc, double x)
{
    return acc + x;
}

double KXEquationCalculationCommand::multiplyStep(double acc, double x)
{
    return acc * x;
}

QVariant KXEquationCalculationCommand::evaluateRange() const
{
    const QVariant startValue = m_start->evaluate();
    const QVariant endValue = m_end->evaluate();
    TreeBody body(*m_variableModel, m_variableName, *m_expression);
    return aggregate(startValue, endValue, body);
}

QVariant KXEquationCalculationCommand::aggregate(const QVariant& startValue, const QVariant& endValue,
                                                 Body& body) const
{
    if (getError(startValue))
        return startValue;
    if (getError(endValue))
        return endValue;
    int start = 0;
    int end = 0;
    const bool startOk = toBound(startValue, start);
    const bool endOk = toBound(endValue, end);
    if (!startOk || !endOk) {
        const Traits& row = traits();
        return row.boundEnglish ? message(row.boundEnglish, row.boundFrench) : QVariant(false);
    }
    // Once the bounds are read, no path leaves the loop variable behind; unreadable bounds leave
    // it as it was.
    struct Cleanup {
        Body& body;
        ~Cleanup() { body.removeLoopVariable(); }
    } cleanup{body};
    return traits().form == Form::Extreme ? extreme(start, end, body) : accumulate(start, end, body);
}

// Reads the expression's value at k as a number.
bool KXEquationCalculationCommand::valueAt(Body& body, qint64 k, double& number, QVariant& failure) const
{
    const QVariant value = body.valueAt(k);
    if (getError(value)) {
        failure = value;
        return false;
    }
    bool ok = false;
    number = value.toDouble(&ok);
    if (!ok) {
        failure = message(traits().english, traits().french);
        return false;
    }
    return true;
}

QVariant KXEquationCalculationCommand::accumulate(qint64 start, qint64 end, Body& body) const
{
    const Traits& row = traits();
    double acc = row.initial;
    for (qint64 k = start; k <= end; ++k) {
        double x = 0.0;
        QVariant failure;
        if (!valueAt(body, k, x, failure))
            return failure;
        if (x == KXNoValue)
            return noValue();
        acc = row.combine(acc, x);
    }
    // An empty range divides 0 by a count of 0 or less: NaN or negative zero.
    if (row.averaged)
        return QVariant(acc / double(end - start + 1));
    return QVariant(acc);
}

// The value at start seeds the extreme, even in an empty range and even when it is a no-value.
QVariant KXEquationCalculationCommand::extreme(qint64 start, qint64 end, Body& body) const
{
    const Traits& row = traits();
    double x = 0.0;
    QVariant failure;
    if (!valueAt(body, start, x, failure))
        return failure;
    double extreme = x;
    for (qint64 k = start + 1; k <= end; ++k) {
        if (!valueAt(body, k, x, failure))
            return failure;
        if (x != KXNoValue && row.replaces(x, extreme))
            extreme = x;
    }
    return QVariant(extreme);
}

void KXEquationCalculationCommand::giveNodes(KXEquationCalculationCommand& local, bool withExpression) const
{
    local.setVariableName(m_variableName);
    local.m_start = cloneOf(m_start, m_variableModel);
    local.m_end = cloneOf(m_end, m_variableModel);
    if (withExpression)
        local.m_expression = cloneOf(m_expression, m_variableModel);
}

// Sample variance in two passes: the mean, then the sum of the formula (expression-mean)^2 with the
// mean written to six digits, so a mean that does not read back as a formula fails here.
QVariant KXEquationCalculationCommand::variance() const
{
    int end = 0;
    int start = 0;
    const bool endOk = toBound(m_end->evaluate(), end);
    const bool startOk = toBound(m_start->evaluate(), start);
    if (!endOk || !startOk)
        return QVariant(false);
    const LoopVariableScope scope{*this};

    try {
        KXEquationCalculationAverageCommand average(m_variableModel);
        giveNodes(average, true);
        const QVariant meanValue = average.evaluate();
        if (getError(meanValue))
            return meanValue;
        bool ok = false;
        const double mean = meanValue.toDouble(&ok);
        if (!ok)
            return message(traits().english, traits().french);

        const QString deviations = QLatin1Char('(') + m_expression->toString() + QLatin1Char('-')
            + QString::number(mean, 'g', 6) + QLatin1String(")^2");
        KXEquationCalculationSumCommand sum(m_variableModel);
        giveNodes(sum, false);
        sum.setExpression(deviations);
        const QVariant squaresValue = sum.evaluate();
        if (getError(squaresValue))
            return squaresValue;
        const double squares = squaresValue.toDouble(&ok);
        if (!ok)
            return message(traits().english, traits().french);

        if (qint64(end) - start < 1)
            return message(traits().english, traits().french);
        return QVariant(squares / double(qint64(end) - start));
    } catch (const KXError& exception) {
        KXError::dispatchError(exception);
        return error(QString::fromUtf8(exception.what()));
    }
}

QVariant KXEquationCalculationCommand::standardDeviation() const
{
    try {
        KXEquationCalculationVarCommand variance(m_variableModel);
        giveNodes(variance, true);
        const QVariant value = variance.evaluate();
        if (getError(value))
            return value;
        bool ok = false;
        const double x = value.toDouble(&ok);
        if (!ok)
            return message(traits().english, traits().french);
        return QVariant(std::sqrt(x));
    } catch (const KXError& exception) {
        KXError::dispatchError(exception);
        return error(QString::fromUtf8(exception.what()));
    }
}

// Selection aggregates

KXEquationCalculationSelectionCommand::KXEquationCalculationSelectionCommand(KXEquationVariableModel* variableModel,
                                                                             const QString& selection)
    : KXEquationCommand(variableModel), m_selection(interpret(selection))
{
}

KXEquationCalculationSelectionCommand::KXEquationCalculationSelectionCommand(KXEquationVariableModel* variableModel)
    : KXEquationCommand(variableModel)
{
}

KXEquationCalculationSelectionCommand::~KXEquationCalculationSelectionCommand() = default;

// A value that is no list (a single cell, a number) aggregates as an empty list.
QVariant KXEquationCalculationSelectionCommand::evaluate() const
{
    return aggregate(m_selection->evaluate());
}

int KXEquationCalculationSelectionCommand::compile(KXEquationCompiler& compiler) const
{
    return compiler.selection(*this, compiler.compile(*m_selection));
}

QVariant KXEquationCalculationSelectionCommand::aggregate(const QVariant& value) const
{
    if (getError(value))
        return value;
    return traits().aggregate(value.value<QVariantList>());
}

QString KXEquationCalculationSelectionCommand::toString() const
{
    return QString::fromLatin1(traits().pattern).arg(m_selection->toString());
}

KXEquationCommand* KXEquationCalculationSelectionCommand::clone(KXEquationVariableModel* target) const
{
    std::unique_ptr<KXEquationCalculationSelectionCommand> copy(createBare(target));
    copy->m_selection = cloneOf(m_selection, target);
    return copy.release();
}
