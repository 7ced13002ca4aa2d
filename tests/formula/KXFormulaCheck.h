#pragma once

#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXTestSupport.h"

#include <QtTest>

#include <memory>

// Helpers shared by the formula tests: evaluate a text and check the rules that every tree keeps.
namespace KXFormulaCheck {

using KXTest::describe;
using KXTest::errorValue;

/// Empty when actual is expected (same kind, doubles through sameDouble, errors by message).
inline QString mismatch(const QVariant& actual, const QVariant& expected)
{
    return KXTest::sameValue(actual, expected) ? QString()
                                               : describe(actual) + QLatin1String(" instead of ") + describe(expected);
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

/// The message of the KXError that reading text raises; empty when it reads.
inline QString raisedBy(KXEquationVariableModel& model, const QString& text)
{
    try {
        read(model, text);
    } catch (const KXError& error) {
        return error.message();
    }
    return QString();
}

/// A variable model's constants for the reader and operator tables.
inline void addTableConstants(KXEquationVariableModel& model)
{
    const struct { const char* name; double value; } constants[] = {
        {"x", 3}, {"a", 2}, {"b", 1}, {"c", 0}, {"B", 1}, {"D", 0}, {"ORDER", 5},
        {"i", 4}, {"j", 5}, {"k", 6}, {"l", 7}, {"ii", 8}, {"I", 9}, {"xy", 10},
    };
    for (const auto& constant : constants)
        model.addVariable(QString::fromLatin1(constant.name), constant.value);
}

/// The message of the error value that text evaluates to.
inline QString messageOf(KXEquationVariableModel& model, const QString& text)
{
    const QVariant value = read(model, text)->evaluate();
    QString message;
    return KXEquationCommand::getError(value, message) ? message : QLatin1String("no error: ") + describe(value);
}

}
