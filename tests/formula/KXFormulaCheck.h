#pragma once

#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXEquationVariableModel.h"
#include "KXTestSupport.h"

#include <memory>

// Helpers shared by the formula tests: evaluate a text and check the rules that every tree keeps.
namespace KXFormulaCheck {

inline QVariant errorValue(const QString& message)
{
    return QVariant::fromValue(KXEquationInterpreterError(message));
}

inline QString describe(const QVariant& value)
{
    QString message;
    if (value.userType() == KXEquationInterpreterError::typeId()) {
        KXEquationCommand::getError(value, message);
        return QStringLiteral("error \"%1\"").arg(message);
    }
    return QStringLiteral("%1 %2").arg(QLatin1String(value.typeName() ? value.typeName() : "invalid"),
                                       value.toString());
}

/// Empty when actual is expected: the same kind, doubles through sameDouble, errors by message.
inline QString mismatch(const QVariant& actual, const QVariant& expected)
{
    const QString both = describe(actual) + QLatin1String(" instead of ") + describe(expected);
    if (actual.userType() != expected.userType())
        return both;
    if (actual.userType() == KXEquationInterpreterError::typeId()) {
        QString a, e;
        KXEquationCommand::getError(actual, a);
        KXEquationCommand::getError(expected, e);
        return a == e ? QString() : both;
    }
    if (actual.userType() == QMetaType::Double || actual.userType() == QMetaType::Float)
        return KXTest::sameDouble(actual.toDouble(), expected.toDouble()) ? QString() : both;
    if (actual.userType() == QMetaType::QVariantList) {
        const QVariantList a = actual.toList();
        const QVariantList e = expected.toList();
        if (a.size() != e.size())
            return both;
        for (int k = 0; k < a.size(); ++k) {
            if (!mismatch(a.at(k), e.at(k)).isEmpty())
                return QStringLiteral("element %1: ").arg(k) + mismatch(a.at(k), e.at(k));
        }
        return QString();
    }
    return actual == expected ? QString() : both;
}

inline std::unique_ptr<KXEquationCommand> read(KXEquationVariableModel& model, const QString& text)
{
    return std::unique_ptr<KXEquationCommand>(KXEquationInterpreter(&model).interpret(text));
}

/// Evaluates text and checks its value; then that a clone on a cell's copy of the model evaluates
/// alike once the original is deleted, and, when readsBack, that the text form reads back alike.
inline QString check(KXEquationVariableModel& model, const QString& text, const QVariant& expected,
                     bool readsBack = true)
{
    std::unique_ptr<KXEquationCommand> tree = read(model, text);
    KXEquationVariableModel cellModel(&model);
    std::unique_ptr<KXEquationCommand> copy(tree->clone(&cellModel));
    const QVariant value = tree->evaluate();
    const QString textForm = tree->toString();
    tree.reset();
    QString problem = mismatch(value, expected);
    if (!problem.isEmpty())
        return QLatin1String("value: ") + problem;
    problem = mismatch(copy->evaluate(), value);
    if (!problem.isEmpty())
        return QLatin1String("clone: ") + problem;
    if (!readsBack)
        return QString();
    try {
        problem = mismatch(read(model, textForm)->evaluate(), value);
    } catch (const KXError& error) {
        problem = error.message();
    }
    return problem.isEmpty() ? QString() : QLatin1String("text form ") + textForm + QLatin1String(": ") + problem;
}

/// The message of the error value that text evaluates to.
inline QString messageOf(KXEquationVariableModel& model, const QString& text)
{
    const QVariant value = read(model, text)->evaluate();
    QString message;
    return KXEquationCommand::getError(value, message) ? message : QLatin1String("no error: ") + describe(value);
}

}
