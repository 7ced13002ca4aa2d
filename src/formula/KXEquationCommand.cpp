#include "KXEquationCommand.h"

#include "KXEquationCompiler.h"
#include "KXEquationInterpreter.h"
#include "KXEquationVariableModel.h"

#include <QCoreApplication>

#include <limits>

KXEquationInterpreterError::KXEquationInterpreterError() = default;
KXEquationInterpreterError::KXEquationInterpreterError(const QString& message) : m_errorMessage(message) {}
KXEquationInterpreterError::KXEquationInterpreterError(const KXEquationInterpreterError& other) = default;
KXEquationInterpreterError& KXEquationInterpreterError::operator=(const KXEquationInterpreterError& other) = default;
KXEquationInterpreterError::~KXEquationInterpreterError() = default;

int KXEquationInterpreterError::typeId()
{
    // A function-local static is initialised exactly once, even when threads race to it.
    static const int id = qRegisterMetaType<KXEquationInterpreterError>("KXEquationInterpreterError");
    return id;
}

KXEquationCommand::KXEquationCommand(KXEquationVariableModel* variableModel) : m_variableModel(variableModel)
{
}

KXEquationCommand::~KXEquationCommand() = default;

bool KXEquationCommand::isRangeVariable() const
{
    return false;
}

bool KXEquationCommand::getError(const QVariant& value, QString& message)
{
    if (value.userType() != KXEquationInterpreterError::typeId())
        return false;
    message = value.value<KXEquationInterpreterError>().errorMessage();
    return !message.isEmpty();
}

bool KXEquationCommand::getError(const QVariant& value)
{
    QString ignored;
    return getError(value, ignored);
}

namespace {
/// Whether a numeric value (not a text or a bool) lies outside what rounds into an int.
bool beyondInt(const QVariant& value, double* number)
{
    switch (value.userType()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
        break;
    default:
        return false;
    }
    *number = value.toDouble();
    return !(*number >= double(std::numeric_limits<int>::min()) - 0.5
             && *number < double(std::numeric_limits<int>::max()) + 0.5);
}
}

bool KXEquationCommand::toBound(const QVariant& value, int& number)
{
    double real = 0.0;
    if (beyondInt(value, &real))
        return false;
    bool ok = false;
    number = value.toInt(&ok);
    return ok;
}

QVariant KXEquationCommand::roundValue(const QVariant& value, bool& ok)
{
    double real = 0.0;
    if (beyondInt(value, &real)) {
        ok = true;
        return QVariant(real);
    }
    // QVariant rounds halves upwards: -2.5 gives -2; -9999 stays the no-value marker by itself.
    const int rounded = value.toInt(&ok);
    return QVariant(rounded);
}

QString KXEquationCommand::tr(const char* english, const char* french, int n)
{
    return QCoreApplication::translate("KXEquationCommand", english, french, n);
}

int KXEquationCommand::compile(KXEquationCompiler& compiler) const
{
    return compiler.fallback(*this);
}

QVariant KXEquationCommand::errorValue(const QString& message)
{
    const KXEquationInterpreterError value(message);
    return QVariant(KXEquationInterpreterError::typeId(), &value);
}

QVariant KXEquationCommand::error(const QString& message) const
{
    return errorValue(message);
}

std::unique_ptr<KXEquationCommand> KXEquationCommand::interpret(const QString& text) const
{
    return std::unique_ptr<KXEquationCommand>(KXEquationInterpreter(m_variableModel).interpret(text));
}

std::unique_ptr<KXEquationCommand> KXEquationCommand::cloneOf(const std::unique_ptr<KXEquationCommand>& node,
                                                              KXEquationVariableModel* target)
{
    return std::unique_ptr<KXEquationCommand>(node ? node->clone(target) : nullptr);
}

// Constant nodes

KXEquationStringConstantCommand::KXEquationStringConstantCommand(KXEquationVariableModel* variableModel,
                                                                 const QString& text)
    : KXEquationCommand(variableModel), m_text(text)
{
}

QVariant KXEquationStringConstantCommand::evaluate() const
{
    return QVariant(m_text);
}

QString KXEquationStringConstantCommand::toString() const
{
    return m_text;
}

KXEquationCommand* KXEquationStringConstantCommand::clone(KXEquationVariableModel* target) const
{
    return new KXEquationStringConstantCommand(target, m_text);
}

int KXEquationStringConstantCommand::compile(KXEquationCompiler& compiler) const
{
    return compiler.constant(*this);
}

KXEquationDoubleConstantCommand::KXEquationDoubleConstantCommand(KXEquationVariableModel* variableModel,
                                                                 double value)
    : KXEquationCommand(variableModel), m_value(value)
{
}

QVariant KXEquationDoubleConstantCommand::evaluate() const
{
    return QVariant(m_value);
}

QString KXEquationDoubleConstantCommand::toString() const
{
    return QString::number(m_value, 'g', 6);
}

KXEquationCommand* KXEquationDoubleConstantCommand::clone(KXEquationVariableModel* target) const
{
    return new KXEquationDoubleConstantCommand(target, m_value);
}

int KXEquationDoubleConstantCommand::compile(KXEquationCompiler& compiler) const
{
    return compiler.constant(*this);
}

KXEquationDataModelConstantCommand::KXEquationDataModelConstantCommand(KXEquationVariableModel* variableModel,
                                                                       const QString& name, bool negated)
    : KXEquationCommand(variableModel), m_name(name), m_negated(negated)
{
}

QVariant KXEquationDataModelConstantCommand::evaluate() const
{
    const bool present = m_variableModel->variableConstantExist(m_name);
    return valueOf(present, present ? m_variableModel->getVariableConstantValue(m_name) : 0.0);
}

QVariant KXEquationDataModelConstantCommand::valueOf(bool present, double value) const
{
    if (present) {
        if (m_negated)
            value *= -1.0;
        return QVariant(value);
    }
    return error(m_name + QCoreApplication::translate("KXEquationDataModelConstantCommand", ": invalid variable name",
                                                      ": Nom de variable incorrect", -1));
}

QString KXEquationDataModelConstantCommand::toString() const
{
    return m_name;
}

bool KXEquationDataModelConstantCommand::isRangeVariable() const
{
    return m_name == QLatin1String("i") || m_name == QLatin1String("j") || m_name == QLatin1String("k")
        || m_name == QLatin1String("l");
}

KXEquationCommand* KXEquationDataModelConstantCommand::clone(KXEquationVariableModel* target) const
{
    return new KXEquationDataModelConstantCommand(target, m_name, m_negated);
}

int KXEquationDataModelConstantCommand::compile(KXEquationCompiler& compiler) const
{
    return compiler.namedConstant(*this, m_name, m_negated);
}
