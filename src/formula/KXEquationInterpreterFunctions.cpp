#include "KXEquationInterpreter.h"

#include "KXEquationCalculationCommand.h"
#include "KXEquationCommand.h"
#include "KXEquationDataCommand.h"
#include "KXEquationMathCommand.h"
#include "KXEquationReadParts.h"
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
    const KXEquationMathCommand::Traits& row;
    KXEquationCommand* (*create)(KXEquationVariableModel*, const QString&);
};

struct CalculationFunction {
    const KXEquationCalculationCommand::Traits& ranged;
    KXEquationCommand* (*createRanged)(KXEquationVariableModel*, const QString&, const QString&, const QString&,
                                       const QString&);
    KXEquationCommand* (*createSelection)(KXEquationVariableModel*, const QString&);
};

// The keywords are read from the families' rows when a name is looked up.
#define KXEQUATION_REGISTER_MATH(Name) {Name::familyTraits, makeFromText<Name>},
const MathFunction mathFunctions[] = {KXEQUATION_MATH_FUNCTIONS(KXEQUATION_REGISTER_MATH)};
#undef KXEQUATION_REGISTER_MATH

#define KXEQUATION_REGISTER_AGGREGATE(Ranged, Selection) \
    {Ranged::familyTraits, makeRanged<Ranged>, makeFromText<Selection>},
const CalculationFunction calculationFunctions[] = {KXEQUATION_AGGREGATES(KXEQUATION_REGISTER_AGGREGATE)};
#undef KXEQUATION_REGISTER_AGGREGATE

// The names of the functions read outside the two tables above.
const char COL_NAME[] = "colName";
const char ROW_NAME[] = "rowName";
const char RAND[] = "rand";
const char IF[] = "if";
const char VAL[] = "val";

using KXEquationReadParts::Part;

// An error in the arguments of a call that names no part of them covers them all.
[[noreturn]] void raise(const QString& message, const QString& arguments)
{
    throw KXEquationReadError(message, arguments, 0, arguments.length());
}

// Every comma cuts, whatever parentheses or texts surround it.
QStringList commaParts(const QString& arguments)
{
    return arguments.split(QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

// Where each of parts stands in the text they were cut from, one separator between two of them.
QVector<Part> partsAsCut(const QStringList& parts)
{
    QVector<Part> located;
    int start = 0;
    for (const QString& part : parts) {
        located.append({start, part.length()});
        start += part.length() + 1;
    }
    return located;
}
}

QStringList KXEquationInterpreter::functionNames()
{
    QStringList names;
    for (const MathFunction& function : mathFunctions)
        names.append(QLatin1String(function.row.keyword));
    names.append(QLatin1String(VAL));
    for (const CalculationFunction& function : calculationFunctions)
        names.append(QLatin1String(function.ranged.keyword));
    for (const char* name : {COL_NAME, ROW_NAME, RAND, IF})
        names.append(QLatin1String(name));
    return names;
}

QString KXEquationInterpreter::constantNameProblem(const QString& name, const KXEquationVariableModel& variables)
{
    if (name.isEmpty())
        return tr("a name is needed", "un nom est nécessaire");
    if (name.at(0).isDigit())
        return tr("%1 starts with a digit", "%1 commence par un chiffre").arg(name);
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('_'))
            return tr("%1 holds %2, which formulas read as an operator or a separator; use letters, digits and _",
                      "%1 contient %2, que les formules lisent comme un opérateur ou un séparateur ; utilisez "
                      "des lettres, des chiffres et _")
                .arg(name, c.isSpace() ? tr("a blank", "un blanc") : QString(c));
    }
    bool isNumber = false;
    name.toDouble(&isNumber);
    if (isNumber)
        return tr("%1 reads as a number", "%1 se lit comme un nombre").arg(name);
    if (name == QLatin1String("i") || name == QLatin1String("j"))
        return tr("%1 is the row or the column of the cell being computed",
                  "%1 est la ligne ou la colonne de la cellule calculée")
            .arg(name);
    if (functionNames().contains(name))
        return tr("%1 is the name of a function", "%1 est le nom d'une fonction").arg(name);
    const QMap<QString, QString> datasets = variables.getVariableModelList();
    for (auto it = datasets.constBegin(); it != datasets.constEnd(); ++it) {
        if (it.key() == name || variables.getVariableModelRelatedList(it.key()).contains(name))
            return tr("%1 is already the name of a dataset variable or of its size",
                      "%1 est déjà le nom d'une variable de tableau ou de sa taille")
                .arg(name);
    }
    return QString();
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

    // What the readers below raise lies in the arguments.
    try {
        if (KXEquationCommand* node = interpretMathFunctions(name, arguments))
            return node;
        if (KXEquationCommand* node = interpretCalculationFunctions(name, arguments))
            return node;
        if (KXEquationCommand* node = interpret2ArgFunctions(name, arguments))
            return node;
        return interpret3ArgFunctions(name, arguments);
    } catch (KXEquationReadError& error) {
        if (error.text() == arguments)
            error.setLocation(text, name.length() + 1 + error.start(), error.length());
        else
            error.setLocation(text, 0, text.length());
        throw;
    }
}

// math := keyword "(" argument ")", the whole argument text being the one argument
KXEquationCommand* KXEquationInterpreter::interpretMathFunctions(const QString& name, const QString& arguments)
{
    for (const MathFunction& function : mathFunctions) {
        if (name == QLatin1String(function.row.keyword))
            return function.create(m_variableModel, arguments);
    }
    // val belongs to no family; it is tried after the math functions.
    if (name == QLatin1String(VAL))
        return new KXEquationValCommand(m_variableModel, arguments);
    return nullptr;
}

// calculation := keyword "(" variable "," start "," end "," expression ")" | keyword "(" selection ")"
KXEquationCommand* KXEquationInterpreter::interpretCalculationFunctions(const QString& name,
                                                                        const QString& arguments)
{
    for (const CalculationFunction& function : calculationFunctions) {
        if (name != QLatin1String(function.ranged.keyword))
            continue;
        QString variable, start, end, expression;
        if (getParam(arguments, variable, start, end, expression)) {
            return KXEquationReadParts::build(
                arguments,
                [&] { return function.createRanged(m_variableModel, variable, start, end, expression); },
                [&] {
                    QVector<Part> parts = partsAsCut({variable, start, end, expression});
                    return parts.mid(1);
                });
        }
        return function.createSelection(m_variableModel, arguments);
    }
    return nullptr;
}

// colName(data, index) | rowName(data, index) | rand() | rand(start, end) | dataset(row, column)
KXEquationCommand* KXEquationInterpreter::interpret2ArgFunctions(const QString& name, const QString& arguments)
{
    const bool colName = name == QLatin1String(COL_NAME);
    const bool rowName = name == QLatin1String(ROW_NAME);
    const bool rand = name == QLatin1String(RAND);
    const bool dataset = !colName && !rowName && !rand && m_variableModel->variableModelExist(name);
    if (!colName && !rowName && !rand && !dataset)
        return nullptr;

    const QStringList parts = commaParts(arguments);
    // One part, whatever it holds, is the form of rand without bounds: rand(), a bare rand, rand(5).
    if (rand && parts.size() == 1)
        return new KXEquationRandCommand(m_variableModel);
    if (parts.size() != 2) {
        if (colName)
            raise(tr("colName(): invalid arguments", "colName() : Argument incorrects"), arguments);
        if (rowName)
            raise(tr("rowName(): invalid arguments", "rowName() : Argument incorrects"), arguments);
        if (rand)
            raise(tr("rand(): Invalid arguments", "rand() : Arguments incorrects"), arguments);
        raise(name + tr("(): Invalid arguments", "() : Arguments incorrects"), arguments);
    }
    return KXEquationReadParts::build(
        arguments,
        [&]() -> KXEquationCommand* {
            if (colName)
                return new KXEquationColNameCommand(m_variableModel, parts.at(0), parts.at(1));
            if (rowName)
                return new KXEquationRowNameCommand(m_variableModel, parts.at(0), parts.at(1));
            if (rand)
                return new KXEquationRandCommand(m_variableModel, parts.at(0), parts.at(1));
            return new KXEquationDataCommand(m_variableModel, name, parts.at(0), parts.at(1));
        },
        [&] { return partsAsCut(parts); });
}

// if := "if(" condition ";" formulaTrue ";" formulaFalse ")", the parts between the first and the
// last semicolon forming the true branch
KXEquationCommand* KXEquationInterpreter::interpret3ArgFunctions(const QString& name, const QString& arguments)
{
    if (name != QLatin1String(IF))
        return nullptr;
    const QLatin1Char semicolon(';');
    const QStringList parts = arguments.split(semicolon, Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (parts.size() < 3)
        raise(tr("if(): Invalid arguments", "if() : Arguments incorrects"), arguments);
    const QString whenTrue = parts.mid(1, parts.size() - 2).join(semicolon);
    return KXEquationReadParts::build(
        arguments, [&] { return new KXEquationIfCommand(m_variableModel, parts.first(), whenTrue, parts.last()); },
        [&] {
            const int last = arguments.length() - parts.last().length();
            return QVector<Part>{
                {0, parts.first().length()}, {parts.first().length() + 1, whenTrue.length()}, {last, parts.last().length()}};
        });
}
