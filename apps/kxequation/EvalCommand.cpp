#include "KXCommandLine.h"

#include "KXDataModel.h"
#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXEquationFacts.h"
#include "ReadErrorDisplay.h"

#include <memory>

namespace {
struct EvalOptions {
    QList<QPair<QString, double>> constants;
    QList<QPair<QString, QString>> datasets;
    bool hasCell = false;
    double row = KXNoValue;
    double column = KXNoValue;
    bool describe = false;
    QString formula;
};

EvalOptions parseEval(const QStringList& arguments)
{
    using namespace KXCommandLine;
    EvalOptions options;
    Arguments walker(arguments);
    QStringList formulas;
    QString option;
    bool plain = false;
    while (walker.take(&option, &plain)) {
        if (plain) {
            formulas.append(option);
        } else if (option == QLatin1String("--lang")) {
            chooseLanguage(walker.value(option));
        } else if (option == QLatin1String("--const")) {
            QString name, value;
            splitAssignment(option, walker.value(option), &name, &value);
            options.constants.append({name, parseNumber(option, value)});
        } else if (option == QLatin1String("--dataset")) {
            QString name, file;
            splitAssignment(option, walker.value(option), &name, &file);
            options.datasets.append({name, file});
        } else if (option == QLatin1String("--cell")) {
            const QStringList parts = walker.value(option).split(QLatin1Char(','));
            if (parts.size() != 2)
                throw UsageError{QStringLiteral("--cell expects I,J")};
            options.hasCell = true;
            options.row = parseNumber(option, parts.at(0));
            options.column = parseNumber(option, parts.at(1));
        } else if (option == QLatin1String("--describe")) {
            options.describe = true;
        } else {
            throw UsageError{QStringLiteral("unknown option ") + option};
        }
    }
    if (formulas.isEmpty())
        throw UsageError{QStringLiteral("eval needs a formula")};
    if (formulas.size() > 1)
        throw UsageError{QStringLiteral("eval takes one formula; quote it")};
    options.formula = formulas.first();
    return options;
}
}

namespace KXCommandLine {

int runEval(const QStringList& arguments)
{
    const EvalOptions options = parseEval(arguments);

    KXEquationVariableModel variables;
    for (const auto& constant : options.constants)
        variables.addVariable(constant.first, constant.second);
    std::vector<std::unique_ptr<KXDataModelGeneric>> tables;
    for (const auto& dataset : options.datasets) {
        tables.push_back(readTable(dataset.second));
        variables.addVariable(dataset.first, tables.back().get(), QString());
    }
    // As the computation does, the cell position is known to the reader before it reads.
    variables.addVariable(QStringLiteral("i"), options.row);
    variables.addVariable(QStringLiteral("j"), options.column);

    std::unique_ptr<KXEquationCommand> tree;
    try {
        tree.reset(KXEquationInterpreter(&variables).interpret(options.formula));
    } catch (const KXError& error) {
        print(QStringLiteral("raised ") + error.message());
        if (const auto* located = dynamic_cast<const KXEquationReadError*>(&error))
            printReadError(*located);
        return Raised;
    }
    if (options.describe) {
        print(QStringLiteral("form: ") + tree->toString());
        print(QStringLiteral("depends-on-cell: ") + (tree->isRangeVariable() ? QStringLiteral("true")
                                                                              : QStringLiteral("false")));
    }
    const QVariant value = tree->evaluate();
    print(describeValue(value));
    return KXEquationCommand::getError(value) ? ErrorValue : Success;
}

}
