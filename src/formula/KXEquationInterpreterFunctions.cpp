#include "KXEquationInterpreter.h"

#include "KXEquationCalculationCommand.h"
#include "KXEquationCommand.h"
#include "KXEquationDataCommand.h"
#include "KXEquationMathCommand.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"

#include <QStringList>

namespace {
template <class Node>
KXEquationCommand* makeFromText(KXEquationVariableModel* model, const QString& argument)
{
    return new Node(model, argument);
}

template <class Node>
KXEquationCommand* makeRanged(KXEquationVariableModel* model, const QString& variable, const QString& start,
                              const QString& end, const QString& expression)
{
    return new Node(model, variable, start, end, expression);
}

struct MathFunction {
    const char* name;
    KXEquationCommand* (*create)(KXEquationVariableModel*, const QString&);
};

struct CalculationFunction {
    const char* name;
    KXEquationCommand* (*createRanged)(KXEquationVariableModel*, const QString&, const QString&, const QString&,
                                       const QString&);
    KXEquationCommand* (*createSelection)(KXEquationVariableModel*, const QString&);
};

// The function names, in the order in which they are tried.
const MathFunction mathFunctions[] = {
    {"sqrt", makeFromText<KXEquationMathSQRTCommand>},
    {"sin", makeFromText<KXEquationMathSINCommand>},
    {"asin", makeFromText<KXEquationMathASINCommand>},
    {"cos", makeFromText<KXEquationMathCOSCommand>},
    {"acos", makeFromText<KXEquationMathACOSCommand>},
    {"tan", makeFromText<KXEquationMathTANCommand>},
    {"atan", makeFromText<KXEquationMathATANCommand>},
    {"log", makeFromText<KXEquationMathLOGCommand>},
    {"ln", makeFromText<KXEquationMathLNCommand>},
    {"abs", makeFromText<KXEquationMathABSCommand>},
    {"floor", makeFromText<KXEquationMathFLOORCommand>},
    {"ceil", makeFromText<KXEquationMathCEILCommand>},
    {"exp", makeFromText<KXEquationMathEXPCommand>},
    {"round", makeFromText<KXEquationMathROUNDCommand>},
    {"sign", makeFromText<KXEquationMathSIGNCommand>},
    {"val", makeFromText<KXEquationValCommand>},
};

const CalculationFunction calculationFunctions[] = {
    {"sum", makeRanged<KXEquationCalculationSumCommand>, makeFromText<KXEquationCalculationSumSelectionCommand>},
    {"prod", makeRanged<KXEquationCalculationProdCommand>, makeFromText<KXEquationCalculationProdSelectionCommand>},
    {"average", makeRanged<KXEquationCalculationAverageCommand>,
     makeFromText<KXEquationCalculationAverageSelectionCommand>},
    {"min", makeRanged<KXEquationCalculationMinCommand>, makeFromText<KXEquationCalculationMinSelectionCommand>},
    {"max", makeRanged<KXEquationCalculationMaxCommand>, makeFromText<KXEquationCalculationMaxSelectionCommand>},
    {"stdDev", makeRanged<KXEquationCalculationStdDevCommand>, makeFromText<KXEquationCalculationStdDevSelectionCommand>},
    {"var", makeRanged<KXEquationCalculationVarCommand>, makeFromText<KXEquationCalculationVarSelectionCommand>},
};

[[noreturn]] void raise(const QString& message)
{
    throw KXError(message, QString(), QString());
}

// Every comma cuts, whatever parentheses or texts surround it.
QStringList commaParts(const QString& arguments)
{
    return arguments.split(QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
}
}

// call := name "(" arguments ")", the parenthesis after the name closing at the end of the text;
// a bare name is a call with empty arguments
KXEquationCommand* KXEquationInterpreter::interpretFunctions(const QString& text)
{
    const QLatin1Char open('(');
    const QString name = text.section(open, 0, 0);
    const QString rest = open + text.section(open, 1);
    if (getParenthesis(rest, 0) != rest.length() - 1)
        return nullptr;
    const QString arguments = rest.mid(1, rest.length() - 2);

    if (KXEquationCommand* node = interpretMathFunctions(name, arguments))
        return node;
    if (KXEquationCommand* node = interpretCalculationFunctions(name, arguments))
        return node;
    if (KXEquationCommand* node = interpret2ArgFunctions(name, arguments))
        return node;
    return interpret3ArgFunctions(name, arguments);
}

// math := keyword "(" argument ")", the whole argument text being the one argument
KXEquationCommand* KXEquationInterpreter::interpretMathFunctions(const QString& name, const QString& arguments)
{
    for (const MathFunction& function : mathFunctions) {
        if (name == QLatin1String(function.name))
            return function.create(m_variableModel, arguments);
    }
    return nullptr;
}

// calculation := keyword "(" variable "," start "," end "," expression ")" | keyword "(" selection ")"
KXEquationCommand* KXEquationInterpreter::interpretCalculationFunctions(const QString& name,
                                                                        const QString& arguments)
{
    for (const CalculationFunction& function : calculationFunctions) {
        if (name != QLatin1String(function.name))
            continue;
        QString variable, start, end, expression;
        if (getParam(arguments, variable, start, end, expression))
            return function.createRanged(m_variableModel, variable, start, end, expression);
        return function.createSelection(m_variableModel, arguments);
    }
    return nullptr;
}

// colName(data, index) | rowName(data, index) | rand() | rand(start, end) | dataset(row, column)
KXEquationCommand* KXEquationInterpreter::interpret2ArgFunctions(const QString& name, const QString& arguments)
{
    const bool colName = name == QLatin1String("colName");
    const bool rowName = name == QLatin1String("rowName");
    const bool rand = name == QLatin1String("rand");
    const bool dataset = !colName && !rowName && !rand && m_variableModel->variableModelExist(name);
    if (!colName && !rowName && !rand && !dataset)
        return nullptr;

    const QStringList parts = commaParts(arguments);
    if (colName) {
        if (parts.size() != 2)
            raise(tr("colName(): invalid arguments", "colName() : Argument incorrects"));
        return new KXEquationColNameCommand(m_variableModel, parts.at(0), parts.at(1));
    }
    if (rowName) {
        if (parts.size() != 2)
            raise(tr("rowName(): invalid arguments", "rowName() : Argument incorrects"));
        return new KXEquationRowNameCommand(m_variableModel, parts.at(0), parts.at(1));
    }
    if (rand) {
        // One part, whatever it holds, is the form without bounds: rand(), a bare rand, rand(5).
        if (parts.size() == 1)
            return new KXEquationRandCommand(m_variableModel);
        if (parts.size() != 2)
            raise(tr("rand(): Invalid arguments", "rand() : Arguments incorrects"));
        return new KXEquationRandCommand(m_variableModel, parts.at(0), parts.at(1));
    }
    if (parts.size() != 2)
        raise(name + tr("(): Invalid arguments", "() : Arguments incorrects"));
    return new KXEquationDataCommand(m_variableModel, name, parts.at(0), parts.at(1));
}

// if := "if(" condition ";" formulaTrue ";" formulaFalse ")", the parts between the first and the
// last semicolon forming the true branch
KXEquationCommand* KXEquationInterpreter::interpret3ArgFunctions(const QString& name, const QString& arguments)
{
    if (name != QLatin1String("if"))
        return nullptr;
    const QLatin1Char semicolon(';');
    const QStringList parts = arguments.split(semicolon, Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (parts.size() < 3)
        raise(tr("if(): Invalid arguments", "if() : Arguments incorrects"));
    return new KXEquationIfCommand(m_variableModel, parts.first(), parts.mid(1, parts.size() - 2).join(semicolon),
                                   parts.last());
}
