// Any text that reads as a formula must give, in every cell of a grid, the same value from the
// compiled program as from the tree walked cell by cell: same kind, same bits (rand's draws
// included, both drawing from one seed), same message, and the same reports. The grid, chosen by the text, may be
// small, one cell, wider than a block of the double path, or at either end of the int range. A
// difference aborts with the formula and the cell.

#include "KXDataModel.h"
#include "KXEquationCellProgram.h"
#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXFormulaGenerator.h"

#include <QHash>
#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {
struct Grid
{
    int firstRow, lastRow, firstColumn, lastColumn;
};
const Grid GRIDS[] = {
    {0, 3, 0, 3},
    {1, 1, 1, 1},
    {-2, 0, 60, 130},                                         // blocks of the double path end inside the row
    {INT_MAX - 1, INT_MAX, INT_MAX - 65, INT_MAX},            // a block that ends at the largest int
    {INT_MIN, INT_MIN + 1, INT_MIN, INT_MIN + 66},
};

// Loops whose bounds follow a cell near the int limits may run billions of steps: a watchdog
// cancels the tree's evaluation past a budget, and such an input is skipped.
std::atomic<bool> cancelled{false};
std::atomic<long long> deadline{0}; // steady-clock milliseconds; 0 when none

long long now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void startWatchdog()
{
    std::thread([] {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const long long due = deadline.load();
            if (due != 0 && now() > due)
                cancelled.store(true);
        }
    }).detach();
}

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

bool same(const QVariant& a, const QVariant& b)
{
    if (a.userType() != b.userType())
        return false;
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
            if (!same(x.at(k), y.at(k)))
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
        startWatchdog();
        return true;
    }();
    Q_UNUSED(silenced);

    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    if (tooLong(text))
        return 0;
    KXEquationVariableModel variables(sharedVariables());
    variables.setRandomSeed(qHash(text));
    std::unique_ptr<KXEquationCommand> tree;
    try {
        tree.reset(KXEquationInterpreter(&variables).interpret(text));
    } catch (const KXError&) {
        return 0;
    }
    const Grid& grid = GRIDS[qHash(text) % (sizeof GRIDS / sizeof GRIDS[0])];
    const int columns = grid.lastColumn - grid.firstColumn + 1;

    // The steps of a cell task, on this thread: a copy of the model, the cell's position, a clone.
    std::vector<QVariant> expected;
    std::vector<QStringList> expectedReports;
    cancelled.store(false);
    deadline.store(now() + 500);
    for (qint64 row = grid.firstRow; row <= grid.lastRow; ++row) {
        QStringList reports;
        for (qint64 column = grid.firstColumn; column <= grid.lastColumn; ++column) {
            KXEquationVariableModel cellVariables(&variables);
            cellVariables.setCancelFlag(&cancelled);
            cellVariables.addVariable(QStringLiteral("i"), double(row));
            cellVariables.addVariable(QStringLiteral("j"), double(column));
            const std::unique_ptr<KXEquationCommand> clone(tree->clone(&cellVariables));
            const KXMessageSink::Capture capture;
            expected.push_back(clone->evaluate());
            reports += capture.texts();
        }
        expectedReports.push_back(reports);
    }
    deadline.store(0);
    if (cancelled.load())
        return 0;

    const auto program = compileCellProgram(*tree, variables);
    const auto worker = program->makeWorker(nullptr);
    std::vector<QVariant> values(static_cast<size_t>(columns));
    for (int r = 0; r <= grid.lastRow - grid.firstRow; ++r) {
        const int row = grid.firstRow + r;
        const KXMessageSink::Capture capture;
        worker->evaluateRow(row, grid.firstColumn, grid.lastColumn, values.data());
        if (capture.texts() != expectedReports[size_t(r)]) {
            std::fprintf(stderr, "different reports in %s at row %d: %s instead of %s\n", qPrintable(text), row,
                         qPrintable(capture.texts().join(QLatin1Char('|'))),
                         qPrintable(expectedReports[size_t(r)].join(QLatin1Char('|'))));
            std::abort();
        }
        for (int c = 0; c < columns; ++c) {
            const QVariant& wanted = expected[size_t(r) * size_t(columns) + size_t(c)];
            if (!same(values[size_t(c)], wanted)) {
                std::fprintf(stderr, "difference in %s at %d,%d: %s (%s) instead of %s (%s)\n", qPrintable(text), row,
                             grid.firstColumn + c, values[size_t(c)].typeName(),
                             qPrintable(values[size_t(c)].toString()), wanted.typeName(),
                             qPrintable(wanted.toString()));
                std::abort();
            }
        }
    }
    return 0;
}
