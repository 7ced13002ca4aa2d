#include "KXEquationMathCommand.h"

#include "KXEquationCompiler.h"
#include "KXEquationFacts.h"

#include <QCoreApplication>

#include <cmath>

namespace {
using Result = KXEquationMathCommand::Result;

double radians(double degrees)
{
    return degrees * KXEquationPi / 180.0;
}

// The inverse functions answer in degrees, like the direct ones read them: asin(sin(30)) is 30.
double degrees(double radians)
{
    return radians * 180.0 / KXEquationPi;
}
}

// The math table
const KXEquationMathCommand::Traits KXEquationMathSQRTCommand::familyTraits = {
    "KXEquationMathSQRTCommand", "sqrt", [](double x) { return std::sqrt(x); }, Result::Real,
    "sqrt(): invalid syntax", "sqrt() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathSINCommand::familyTraits = {
    "KXEquationMathSINCommand", "sin", [](double x) { return std::sin(radians(x)); }, Result::Real,
    "sin(): Invalid syntax", "sin() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathASINCommand::familyTraits = {
    "KXEquationMathASINCommand", "asin", [](double x) { return degrees(std::asin(x)); }, Result::Real,
    "asin(): Invalid syntax", "asin() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathCOSCommand::familyTraits = {
    "KXEquationMathCOSCommand", "cos", [](double x) { return std::cos(radians(x)); }, Result::Real,
    "cos(): Invalid syntax", "cos() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathACOSCommand::familyTraits = {
    "KXEquationMathACOSCommand", "acos", [](double x) { return degrees(std::acos(x)); }, Result::Real,
    "acos(): Invalid syntax", "acos() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathTANCommand::familyTraits = {
    "KXEquationMathTANCommand", "tan", [](double x) { return std::tan(radians(x)); }, Result::Real,
    "tan(): Invalid syntax", "tan() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathATANCommand::familyTraits = {
    "KXEquationMathATANCommand", "atan", [](double x) { return degrees(std::atan(x)); }, Result::Real,
    "atan(): Invalid syntax", "atan() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathLOGCommand::familyTraits = {
    "KXEquationMathLOGCommand", "log", [](double x) { return std::log10(x); }, Result::Real,
    "log(): Invalid syntax", "log() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathLNCommand::familyTraits = {
    "KXEquationMathLNCommand", "ln", [](double x) { return std::log(x); }, Result::Real,
    "ln(): Invalid syntax", "ln() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathABSCommand::familyTraits = {
    "KXEquationMathABSCommand", "abs", [](double x) { return std::fabs(x); }, Result::Real,
    "abs(): Invalid syntax", "abs() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathFLOORCommand::familyTraits = {
    "KXEquationMathFLOORCommand", "floor", [](double x) { return std::floor(x); }, Result::Real,
    "floor(): Invalid syntax", "floor() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathCEILCommand::familyTraits = {
    "KXEquationMathCEILCommand", "ceil", [](double x) { return std::ceil(x); }, Result::Real,
    "ceil(): Invalid syntax", "ceil() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathEXPCommand::familyTraits = {
    "KXEquationMathEXPCommand", "exp", [](double x) { return std::exp(x); }, Result::Real,
    "exp(): Invalid syntax", "exp() : Expression invalide"};
const KXEquationMathCommand::Traits KXEquationMathROUNDCommand::familyTraits = {
    "KXEquationMathROUNDCommand", "round", nullptr, Result::Rounded,
    "round(): Invalid syntax", "round() : Expression invalide"};
// Never 0: zero, negative zero and NaN count as positive.
const KXEquationMathCommand::Traits KXEquationMathSIGNCommand::familyTraits = {
    "KXEquationMathSIGNCommand", "sign", [](double x) { return 0.0 > x ? -1.0 : 1.0; }, Result::Signed,
    "sign(): Invalid syntax", "sign() : Expression invalide"};

KXEquationMathCommand::KXEquationMathCommand(KXEquationVariableModel* variableModel, const QString& argument)
    : KXEquationCommand(variableModel), m_argument(interpret(argument))
{
}

KXEquationMathCommand::KXEquationMathCommand(KXEquationVariableModel* variableModel)
    : KXEquationCommand(variableModel)
{
}

KXEquationMathCommand::~KXEquationMathCommand() = default;

QVariant KXEquationMathCommand::evaluate() const
{
    return apply(m_argument->evaluate());
}

int KXEquationMathCommand::compile(KXEquationCompiler& compiler) const
{
    return compiler.math(*this, traits(), compiler.compile(*m_argument));
}

QVariant KXEquationMathCommand::apply(const QVariant& value) const
{
    if (getError(value))
        return value;
    const Traits& row = traits();
    bool ok = false;
    if (row.result == Result::Rounded) {
        const QVariant rounded = roundValue(value, ok);
        if (!ok)
            return error(QCoreApplication::translate(row.className, row.english, row.french, -1));
        return rounded;
    }
    const double x = value.toDouble(&ok);
    if (!ok)
        return error(QCoreApplication::translate(row.className, row.english, row.french, -1));
    if (x == KXNoValue)
        return QVariant(int(KXNoValue));
    const double y = row.function(x);
    if (row.result == Result::Signed)
        return QVariant(int(y));
    return QVariant(y);
}

QString KXEquationMathCommand::toString() const
{
    return QLatin1String(traits().keyword) + QLatin1Char('(') + m_argument->toString() + QLatin1Char(')');
}

bool KXEquationMathCommand::isRangeVariable() const
{
    return m_argument && m_argument->isRangeVariable();
}

KXEquationCommand* KXEquationMathCommand::clone(KXEquationVariableModel* target) const
{
    std::unique_ptr<KXEquationMathCommand> copy(createBare(target));
    copy->m_argument = cloneOf(m_argument, target);
    return copy.release();
}
