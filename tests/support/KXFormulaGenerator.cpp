#include "KXFormulaGenerator.h"

#include "KXDataModel.h"
#include "KXEquationVariableModel.h"

#include <QRandomGenerator>
#include <QStringList>

#include <array>

namespace KXFormulaGenerator {

void fillTable(KXDataModelGeneric& table)
{
    const QVariantList cells = {1.5, "3,5", "3.5", "", QVariant(), "abc", true, 7, -9999.0, 0.0, -0.0, 1e300};
    table.createEmpty(3, 4);
    for (int k = 0; k < cells.size(); ++k)
        table.setData(table.index(k / 3, k % 3), cells.at(k), KXValueRole);
    for (int column = 0; column < 3; ++column)
        table.setHeaderData(column, Qt::Horizontal, QString(QLatin1Char('A' + column)), KXValueRole);
    for (int row = 0; row < 4; ++row)
        table.setHeaderData(row, Qt::Vertical, QString::number(row + 1), KXValueRole);
}

void addVariables(KXEquationVariableModel& variables, KXDataModelGeneric* table)
{
    variables.addVariable(QStringLiteral("Input1"), table, QString());
    variables.addVariable(QStringLiteral("Input2"), static_cast<QAbstractItemModel*>(nullptr), QString());
    const struct { const char* name; double value; } constants[] = {{"a", 2}, {"b", 0.5}, {"x", 3}, {"i", 1}, {"j", 1}};
    for (const auto& constant : constants)
        variables.addVariable(QLatin1String(constant.name), constant.value);
}

namespace {
class Writer
{
public:
    Writer(QRandomGenerator& random, bool anywhere) : m_random(random), m_anywhere(anywhere) {}

    // Any formula; commas allowed when split is false.
    QString formula(int depth, bool commas = true, bool semicolons = true)
    {
        if (depth <= 0 || chance(4))
            return leaf();
        switch (m_random.bounded(commas ? 10 : 6)) {
        case 0:
        case 1:
            return operation(depth, commas, semicolons);
        case 2:
            return math(depth, commas, semicolons);
        case 3:
            return semicolons ? condition(depth, commas) : operation(depth, commas, semicolons);
        case 4:
            return QStringLiteral("val(%1)").arg(pick({"a", "i", "j", "x", "k", "zz", "NO_VALUE"}));
        case 5:
            return operation(depth, commas, semicolons);
        case 6:
            return aggregate(depth, semicolons);
        case 7:
            return data(depth, semicolons);
        case 8:
            return beside(depth, semicolons);
        default:
            return other(depth, semicolons);
        }
    }

private:
    bool chance(int oneIn) { return m_random.bounded(oneIn) == 0; }

    QString pick(std::initializer_list<const char*> choices)
    {
        const int at = m_random.bounded(int(choices.size()));
        return QString::fromUtf8(*(choices.begin() + at));
    }

    QString leaf()
    {
        switch (m_random.bounded(4)) {
        case 0:
            return pick({"0", "1", "2", "2.5", "0.1", "-5", "16777217", "1e3", "90", "-0.5", "1e308"});
        case 1:
            return pick({"i", "j", "i", "j", "-i", "-j", "a", "b", "x", "-x", "PI", "NO_VALUE", "NR_Input1",
                         "NC_Input1", "k"});
        case 2:
            return pick({"\"abc\"", "\"12\"", "\"3.5\"", "\"\"", "\"a b\"", "\"-9999\""});
        default:
            return pick({"i", "j", "(i)*(j)", "(i)-(j)", "(j)/(i)"});
        }
    }

    QString operation(int depth, bool commas, bool semicolons)
    {
        const QString symbol = pick({"+", "-", "*", "/", "%", "^", ">", "<", "=", "<=", ">=", "!=", "AND", "OR",
                                     "+", "*", "-"});
        return QLatin1Char('(') + formula(depth - 1, commas, semicolons) + QLatin1Char(')') + symbol
            + QLatin1Char('(') + formula(depth - 1, commas, semicolons) + QLatin1Char(')');
    }

    QString math(int depth, bool commas, bool semicolons)
    {
        const QString name = pick({"sqrt", "sin", "asin", "cos", "acos", "tan", "atan", "log", "ln", "abs", "floor",
                                   "ceil", "exp", "round", "sign"});
        return name + QLatin1Char('(') + formula(depth - 1, commas, semicolons) + QLatin1Char(')');
    }

    // The condition and the false branch take no semicolon; the true branch may.
    QString condition(int depth, bool commas)
    {
        const QString test = chance(5) ? formula(depth - 1, commas, false)
                                       : QLatin1Char('(') + formula(depth - 1, commas, false) + QLatin1Char(')')
                + pick({">", "<", "=", "<=", ">=", "!="}) + QLatin1Char('(') + formula(depth - 1, commas, false)
                + QLatin1Char(')');
        return QLatin1String("if(") + test + QLatin1Char(';') + formula(depth - 1, commas, true) + QLatin1Char(';')
            + formula(depth - 1, commas, false) + QLatin1Char(')');
    }

    QString aggregate(int depth, bool semicolons)
    {
        const QString name = pick({"sum", "prod", "average", "min", "max", "var", "stdDev", "sum", "sum"});
        if (chance(4))
            return name + QLatin1Char('(') + selection() + QLatin1Char(')');
        const QString variable = pick({"k", "k", "l", "x", "i"});
        QString start;
        QString end;
        if (m_anywhere || chance(2)) {
            // Bounds that follow the cell, so that they differ between neighbouring cells, and
            // that loop a few times at most wherever the cell is (or not at all, or fail to be
            // integers past the int range).
            const int at = m_random.bounded(9);
            start = QString::fromLatin1(
                std::array<const char*, 9>{"j", "(j)-(1)", "i", "(j)%(4)", "1", "(i)%(2)", "j", "(i)-(j)", "(i)+(j)"}[at]);
            end = QString::fromLatin1(
                std::array<const char*, 9>{"(j)+(2)", "j", "(i)+(1)", "3", "(i)%(3)", "(j)%(5)", "(j)-(1)", "(i)-(j)", "(i)+(j)"}[at]);
        } else {
            start = pick({"1", "0", "2", "j", "i", "2.5", "\"a\"", "NO_VALUE"});
            end = pick({"3", "4", "1", "i", "j", "0", "(i)+(1)"});
        }
        return name + QLatin1Char('(') + variable + QLatin1Char(',') + start + QLatin1Char(',') + end
            + QLatin1Char(',') + formula(depth - 1, true, semicolons) + QLatin1Char(')');
    }

    // An error value in one operand beside, in the other, an aggregate that reports the text it
    // could not read (a negative mean, a mean in exponent form): both operands are evaluated.
    QString beside(int depth, bool semicolons)
    {
        const QString failing = semicolons && chance(2)
            ? pick({"if(1;2;3)", "(if(Input1(i,1);7;\"a\"))^(2)", "if((j)>(2);Input1(0,j);j)"})
            : pick({"sqrt(\"abc\")", "Input1(0,1)", "(\"a\")-(1)", "Input1((i)+(9),j)", "(1)AND(2)"});
        const QString reporting = chance(3) ? aggregate(depth - 1, semicolons)
                                            : pick({"stdDev(k,1,3,(Input1(i,1))/(0.5))", "var(k,1,3,(k)-(10))",
                                                    "var(l,1,2,(l)*(1e6))", "stdDev(k,(j)-(1),j,(k)-(j))",
                                                    "var(k,1,2,(k)-(j))"});
        const QString symbol = pick({"-", "+", "*", "<", "AND", "^"});
        if (chance(2))
            return QLatin1Char('(') + failing + QLatin1Char(')') + symbol + QLatin1Char('(') + reporting + QLatin1Char(')');
        return QLatin1Char('(') + reporting + QLatin1Char(')') + symbol + QLatin1Char('(') + failing + QLatin1Char(')');
    }

    QString selection()
    {
        return QStringLiteral("[%1|%2:%3|%4]")
            .arg(pick({"A", "B", "C", "Z"}), pick({"1", "2", "3", "4"}), pick({"A", "B", "C"}), pick({"1", "3", "4"}));
    }

    // Indices take no comma: the reader splits data access arguments at every one.
    QString data(int depth, bool semicolons)
    {
        const QString name = chance(8) ? QStringLiteral("Input2") : QStringLiteral("Input1");
        const QString row = chance(2) ? pick({"i", "j", "1", "4", "0", "5", "1.6", "(i)+(1)"})
                                      : formula(depth - 1, false, semicolons);
        const QString column = chance(2) ? pick({"j", "i", "1", "3", "4", "2"}) : formula(depth - 1, false, semicolons);
        return name + QLatin1Char('(') + row + QLatin1Char(',') + column + QLatin1Char(')');
    }

    QString other(int depth, bool semicolons)
    {
        switch (m_random.bounded(5)) {
        case 0:
            return QStringLiteral("%1(%2,%3)")
                .arg(pick({"colName", "rowName"}), pick({"Input1", "Input1", "Input2", "Input3"}),
                     chance(2) ? pick({"i", "j", "0", "1", "4", "5"}) : formula(depth - 1, false, semicolons));
        case 1:
            return chance(2) ? QStringLiteral("rand()")
                             : QStringLiteral("rand(%1,%2)").arg(pick({"0", "1", "i", "-1", "\"a\""}),
                                                                 pick({"1", "6", "j", "0"}));
        case 2:
            return selection();
        default:
            return pick({"sqrt(\"abc\")", "(\"a\")-(1)", "if(1;2;3)", "(1)AND(2)", "Input1(0,1)", "(1)/(0)",
                         "(0)/(0)", "(-1)^(0.5)", "(5)%(0)", "(\"1\")+(2)", "(2)+(\"kg\")", "(NO_VALUE)+(\"a\")",
                         "(1)<(2)", "(NO_VALUE)=(NO_VALUE)", "round(2.5)", "round(-2.5)", "sign(-0)"});
        }
    }

    QRandomGenerator& m_random;
    bool m_anywhere;
};
}

QString randomFormula(QRandomGenerator& random, int depth, bool anywhere)
{
    return Writer(random, anywhere).formula(depth);
}

}
