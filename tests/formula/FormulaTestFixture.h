#pragma once

#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXTestSupport.h"

#include <QtTest>

#include <memory>

namespace KXTest {

/// A variable model with the constants the formula tables use.
inline void addTableConstants(KXEquationVariableModel& model)
{
    const struct { const char* name; double value; } constants[] = {
        {"x", 3}, {"a", 2}, {"b", 1}, {"c", 0}, {"B", 1}, {"D", 0}, {"ORDER", 5},
        {"i", 4}, {"j", 5}, {"k", 6}, {"l", 7}, {"ii", 8}, {"I", 9}, {"xy", 10},
    };
    for (const auto& constant : constants)
        model.addVariable(QString::fromLatin1(constant.name), constant.value);
}

inline std::unique_ptr<KXEquationCommand> read(KXEquationVariableModel& model, const QString& text)
{
    return std::unique_ptr<KXEquationCommand>(KXEquationInterpreter(&model).interpret(text));
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

/// Checks that a clone made before the original is deleted evaluates to the same value and, where
/// the text form is meant to read back (function calls), that it reads back to the same value.
inline void verifyTreeRules(KXEquationVariableModel& model, const QString& formula, const QVariant& expected,
                            bool formReadsBack = false)
{
    auto tree = read(model, formula);
    std::unique_ptr<KXEquationCommand> copy(tree->clone(&model));
    const QString form = tree->toString();
    tree.reset();
    const QVariant cloned = copy->evaluate();
    QVERIFY2(sameValue(cloned, expected), qPrintable(QStringLiteral("clone gave ") + describe(cloned)));
    if (!formReadsBack)
        return;
    auto reread = read(model, form);
    const QVariant again = reread->evaluate();
    QVERIFY2(sameValue(again, expected), qPrintable(form + QStringLiteral(" gave ") + describe(again)));
}

}
