#include "KXEquationOperatorCommand.h"

#include "KXEquationCompiler.h"
#include "KXEquationFacts.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
const char NUMERIC_SUFFIX[] = " (expression must be numeric)";
const char NUMERIC_SUFFIX_FR[] = " (l'expression doit être de type numérique)";
const char BOOLEAN_SUFFIX[] = " (expression must be boolean)";
const char BOOLEAN_SUFFIX_FR[] = " (l'expression doit être de type booléen)";

using Rule = KXEquationOperatorCommand::Rule;

bool isNumber(const QVariant& value)
{
    return value.userType() == QMetaType::Double || value.userType() == QMetaType::Int;
}

bool isText(const QVariant& value)
{
    return value.userType() == QMetaType::QString;
}

QVariant noValue()
{
    return QVariant(int(KXNoValue));
}
}

// The operator table
const KXEquationOperatorCommand::Traits KXEquationOperatorPlusCommand::familyTraits = {
    "KXEquationOperatorPlusCommand", "+", "+", 3, Rule::Addition, "", "", nullptr, nullptr, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorMinusCommand::familyTraits = {
    "KXEquationOperatorMinusCommand", "-", "-", 3, Rule::Arithmetic,
    "Invalid syntax for '-':", "Expression invalide pour '-' : ",
    [](double x, double y) { return x - y; }, nullptr, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorMultiplyCommand::familyTraits = {
    "KXEquationOperatorMultiplyCommand", "*", "*", 4, Rule::Arithmetic,
    "Invalid syntax for '*':", "Expression invalide pour '*' : ",
    [](double x, double y) { return x * y; }, nullptr, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorDivideCommand::familyTraits = {
    "KXEquationOperatorDivideCommand", "/", "/", 4, Rule::Arithmetic,
    "Invalid syntax for '/':", "Expression invalide pour '/' : ",
    [](double x, double y) { return x / y; }, nullptr, nullptr};
// The remainder is taken in single precision and stays a float.
const KXEquationOperatorCommand::Traits KXEquationOperatorModuloCommand::familyTraits = {
    "KXEquationOperatorModuloCommand", "%", "%", 4, Rule::Remainder,
    "Invalid syntax for '%':", "Expression invalide pour '%' : ",
    [](double x, double y) { return double(std::fmod(float(x), float(y))); }, nullptr, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorPowerCommand::familyTraits = {
    "KXEquationOperatorPowerCommand", "^", "^", 4, Rule::Arithmetic,
    "Invalid syntax for '^':", "Expression invalide pour '^' : ",
    [](double x, double y) { return std::pow(x, y); }, nullptr, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorSuperiorCommand::familyTraits = {
    "KXEquationOperatorSuperiorCommand", ">", ">", 2, Rule::Ordering,
    "Invalid condition for '>':", "Condition invalide pour '>' : ",
    nullptr, [](double x, double y) { return x > y; }, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorInferiorCommand::familyTraits = {
    "KXEquationOperatorInferiorCommand", "<", "&lt;", 2, Rule::Ordering,
    "Invalid condition for '&lt;' : ", "Condition invalide pour '&lt;' : ",
    nullptr, [](double x, double y) { return x < y; }, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorInferiorEqualCommand::familyTraits = {
    "KXEquationOperatorInferiorEqualCommand", "<=", "<=", 1, Rule::Ordering,
    "Invalid condition for '<=':", "Condition invalide pour '<=' : ",
    nullptr, [](double x, double y) { return x <= y; }, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorSuperiorEqualCommand::familyTraits = {
    "KXEquationOperatorSuperiorEqualCommand", ">=", ">=", 1, Rule::Ordering,
    "Invalid condition for '>=':", "Condition invalide pour '>=' : ",
    nullptr, [](double x, double y) { return x >= y; }, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorEqualCommand::familyTraits = {
    "KXEquationOperatorEqualCommand", "=", "=", 2, Rule::Equality, "", "", nullptr, nullptr, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorInequalCommand::familyTraits = {
    "KXEquationOperatorInequalCommand", "!=", "!=", 1, Rule::Equality, "", "", nullptr, nullptr, nullptr};
const KXEquationOperatorCommand::Traits KXEquationOperatorANDCommand::familyTraits = {
    "KXEquationOperatorANDCommand", "AND", "AND", 0, Rule::Logical,
    "Invalid syntax for 'AND': ", "Expression invalide pour 'AND' : ",
    nullptr, nullptr, [](bool p, bool q) { return p && q; }};
const KXEquationOperatorCommand::Traits KXEquationOperatorORCommand::familyTraits = {
    "KXEquationOperatorORCommand", "OR", "OR", 0, Rule::Logical,
    "Invalid condition for 'OR':", "Condition invalide pour 'OR' : ",
    nullptr, nullptr, [](bool p, bool q) { return p || q; }};

namespace {
template <class Node>
KXEquationCommand* make(KXEquationVariableModel* model, const QString& left, const QString& right)
{
    return new Node(model, left, right);
}

struct Member {
    const KXEquationOperatorCommand::Traits& traits;
    KXEquationCommand* (*create)(KXEquationVariableModel*, const QString&, const QString&);
};

#define KXEQUATION_REGISTER_OPERATOR(Name) {Name::familyTraits, make<Name>},
const Member members[] = {KXEQUATION_OPERATORS(KXEQUATION_REGISTER_OPERATOR)};
#undef KXEQUATION_REGISTER_OPERATOR
}

KXEquationCommand* KXEquationOperatorCommand::create(KXEquationVariableModel* variableModel, const QString& symbol,
                                                     const QString& left, const QString& right)
{
    for (const Member& member : members) {
        if (symbol == QLatin1String(member.traits.symbol))
            return member.create(variableModel, left, right);
    }
    return nullptr;
}

const std::vector<const KXEquationOperatorCommand::Traits*>& KXEquationOperatorCommand::longestFirst()
{
    static const std::vector<const Traits*> table = [] {
        std::vector<const Traits*> rows;
        for (const Member& member : members)
            rows.push_back(&member.traits);
        std::stable_sort(rows.begin(), rows.end(), [](const Traits* a, const Traits* b) {
            return std::strlen(a->symbol) > std::strlen(b->symbol);
        });
        return rows;
    }();
    return table;
}

KXEquationOperatorCommand::KXEquationOperatorCommand(KXEquationVariableModel* variableModel, const QString& left,
                                                     const QString& right)
    : KXEquationCommand(variableModel)
{
    m_left = interpret(left);
    m_right = interpret(right);
}

KXEquationOperatorCommand::KXEquationOperatorCommand(KXEquationVariableModel* variableModel)
    : KXEquationCommand(variableModel)
{
}

KXEquationOperatorCommand::~KXEquationOperatorCommand()
{
    m_left.reset();
    m_right.reset();
}

QString KXEquationOperatorCommand::toString() const
{
    return m_left->toString() + QLatin1String(traits().textForm) + m_right->toString();
}

bool KXEquationOperatorCommand::isRangeVariable() const
{
    if (!m_left || !m_right)
        return false;
    return m_left->isRangeVariable() || m_right->isRangeVariable();
}

KXEquationCommand* KXEquationOperatorCommand::clone(KXEquationVariableModel* target) const
{
    std::unique_ptr<KXEquationOperatorCommand> copy(createBare(target));
    copy->m_left = cloneOf(m_left, target);
    copy->m_right = cloneOf(m_right, target);
    return copy.release();
}

int KXEquationOperatorCommand::compile(KXEquationCompiler& compiler) const
{
    const int left = compiler.compile(*m_left);
    const int right = compiler.compile(*m_right);
    return compiler.operation(*this, traits(), left, right);
}

QVariant KXEquationOperatorCommand::evaluate() const
{
    const QVariant a = m_left->evaluate();
    const QVariant b = m_right->evaluate();
    return combine(a, b);
}

QVariant KXEquationOperatorCommand::combine(const QVariant& a, const QVariant& b) const
{
    if (getError(a))
        return a;
    if (getError(b))
        return b;
    switch (traits().rule) {
    case Rule::Addition:
        return add(a, b);
    case Rule::Arithmetic:
    case Rule::Remainder:
    case Rule::Ordering:
        return compute(a, b);
    case Rule::Equality:
        return QVariant(traits().symbol[0] == '=' ? a == b : a != b);
    case Rule::Logical:
        return combineLogical(a, b);
    }
    return QVariant();
}

QVariant KXEquationOperatorCommand::add(const QVariant& a, const QVariant& b) const
{
    if (isText(a) && isText(b))
        return QVariant(a.toString() + b.toString());
    if (isNumber(a) && isNumber(b)) {
        const double x = a.toDouble();
        const double y = b.toDouble();
        if (x == KXNoValue || y == KXNoValue)
            return noValue();
        return QVariant(x + y);
    }
    if (isNumber(a) && isText(b)) {
        const double x = a.toDouble();
        if (x == KXNoValue)
            return noValue();
        bool ok = false;
        const double y = b.toString().toDouble(&ok);
        if (ok)
            return QVariant(y + x);
        return QVariant(QString::number(x, 'g', 6) + b.toString());
    }
    if (isText(a) && isNumber(b)) {
        const double y = b.toDouble();
        if (y == KXNoValue)
            return noValue();
        bool ok = false;
        const double x = a.toString().toDouble(&ok);
        if (ok)
            return QVariant(x + y);
        return QVariant(a.toString() + QString::number(y, 'g', 6));
    }
    return error(translate("Invalid condition for '+': type of expressions to process are invalid",
                           "Condition invalide pour '+' : le type des expressions à évaluer est incorrect"));
}

QVariant KXEquationOperatorCommand::compute(const QVariant& a, const QVariant& b) const
{
    bool ok = false;
    const double x = a.toDouble(&ok);
    if (!ok)
        return operandError(*m_left, NUMERIC_SUFFIX, NUMERIC_SUFFIX_FR);
    const double y = b.toDouble(&ok);
    if (!ok)
        return operandError(*m_right, NUMERIC_SUFFIX, NUMERIC_SUFFIX_FR);
    if (traits().rule == Rule::Ordering)
        return QVariant(x != KXNoValue && y != KXNoValue && traits().ordering(x, y));
    if (x == KXNoValue || y == KXNoValue)
        return noValue();
    const double result = traits().arithmetic(x, y);
    if (traits().rule == Rule::Remainder)
        return QVariant(float(result));
    return QVariant(result);
}

QVariant KXEquationOperatorCommand::combineLogical(const QVariant& a, const QVariant& b) const
{
    if (a.userType() != QMetaType::Bool)
        return operandError(*m_left, BOOLEAN_SUFFIX, BOOLEAN_SUFFIX_FR);
    const bool p = a.toBool();
    if (b.userType() != QMetaType::Bool)
        return operandError(*m_right, BOOLEAN_SUFFIX, BOOLEAN_SUFFIX_FR);
    return QVariant(traits().logical(p, b.toBool()));
}

QVariant KXEquationOperatorCommand::operandError(const KXEquationCommand& operand, const char* englishSuffix,
                                                 const char* frenchSuffix) const
{
    return error(translate(traits().englishPrefix, traits().frenchPrefix) + operand.toString()
                 + translate(englishSuffix, frenchSuffix));
}

QString KXEquationOperatorCommand::translate(const char* english, const char* french) const
{
    return QCoreApplication::translate(traits().className, english, french, -1);
}
