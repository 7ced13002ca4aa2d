// Any text that reads as a formula must give, in every cell of a small grid, the same value from
// the compiled program as from the tree walked cell by cell: same kind, same bits, same message
// (values drawn by rand only by kind). A difference aborts with the formula and the cell.

#include "KXDataModel.h"
#include "KXEquationCellProgram.h"
#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXFormulaGenerator.h"

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
const int ROWS = 4;
const int COLUMNS = 4;

const KXEquationVariableModel& sharedVariables()
{
    static KXDataModelGeneric* table = [] {
        auto* made = new KXDataModelGeneric;
        KXFormulaGenerator::fillTable(*made);
        return made;
    }();
    static KXEquationVariableModel* variables = [] {
        auto* made = new KXEquationVariableModel;
        KXFormulaGenerator::addVariables(*made, table);
        return made;
    }();
    return *variables;
}

bool same(const QVariant& a, const QVariant& b, bool random)
{
    if (a.userType() != b.userType())
        return false;
    if (random)
        return true;
    if (a.userType() == QMetaType::Double) {
        const double x = a.toDouble(), y = b.toDouble();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    if (a.userType() == QMetaType::Float) {
        const float x = a.toFloat(), y = b.toFloat();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    if (a.userType() == QMetaType::QVariantList) {
        const QVariantList x = a.toList(), y = b.toList();
        if (x.size() != y.size())
            return false;
        for (int k = 0; k < x.size(); ++k) {
            if (!same(x.at(k), y.at(k), false))
                return false;
        }
        return true;
    }
    if (a.userType() == KXEquationInterpreterError::typeId())
        return a.value<KXEquationInterpreterError>().errorMessage()
            == b.value<KXEquationInterpreterError>().errorMessage();
    return a == b;
}

// Loops of a hundred steps or more, nested, would make the tree walk the fuzzer's bottleneck.
bool tooLong(const QString& text)
{
    static const QRegularExpression large(QStringLiteral("[0-9]{3}|[0-9][eE]"));
    static const QRegularExpression aggregate(QStringLiteral("sum|prod|average|min|max|var|stdDev"));
    return text.contains(large) && text.contains(aggregate);
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool silenced = [] {
        KXMessageSink::setHandler([](KXMessageSink::Origin, const QString&) {});
        return true;
    }();
    Q_UNUSED(silenced);

    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    if (tooLong(text))
        return 0;
    KXEquationVariableModel variables(sharedVariables());
    std::unique_ptr<KXEquationCommand> tree;
    try {
        tree.reset(KXEquationInterpreter(&variables).interpret(text));
    } catch (const KXError&) {
        return 0;
    }
    // Read back from the tree: the reader skips blanks of every kind, so "ra\vnd(" is a rand too.
    const bool random = tree->toString().contains(QLatin1String("rand"));
    const auto program = compileCellProgram(*tree, variables);
    const auto worker = program->makeWorker(nullptr);
    for (int row = 0; row < ROWS; ++row) {
        QVariant values[COLUMNS];
        worker->evaluateRow(row, 0, COLUMNS - 1, values);
        for (int column = 0; column < COLUMNS; ++column) {
            // The steps of a cell task, on this thread: a copy of the model, the cell's position, a clone.
            KXEquationVariableModel cellVariables(&variables);
            cellVariables.addVariable(QStringLiteral("i"), double(row));
            cellVariables.addVariable(QStringLiteral("j"), double(column));
            const std::unique_ptr<KXEquationCommand> clone(tree->clone(&cellVariables));
            const QVariant expected = clone->evaluate();
            if (!same(values[column], expected, random)) {
                std::fprintf(stderr, "difference in %s at %d,%d: %s (%s) instead of %s (%s)\n", qPrintable(text), row,
                             column, values[column].typeName(), qPrintable(values[column].toString()),
                             expected.typeName(), qPrintable(expected.toString()));
                std::abort();
            }
        }
    }
    return 0;
}
