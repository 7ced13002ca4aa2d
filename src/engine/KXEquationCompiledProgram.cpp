#include "KXEquationCompiledProgram.h"

#include "KXEquationCompiler.h"
#include "KXEquationDataCommand.h"
#include "KXEquationVariableModel.h"
#include "KXEquationFacts.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace KXEquationProgram;

namespace {
bool numeric(Kind kind)
{
    return kind == Kind::Double || kind == Kind::Bool;
}

// Whole numbers within the int range convert to themselves under every conversion rule, which
// spares the double path a variant per index; anything else goes through the nodes' own rule.
bool wholeNumber(double x, int& whole)
{
    if (!(x >= -2147483647.0 && x <= 2147483647.0))
        return false;
    whole = int(x);
    return double(whole) == x;
}
}

/// Builds the instructions of a program from the nodes' compile() calls.
class KXEquationProgramCompiler final : public KXEquationCompiler
{
public:
    // A first pass only collects loop variables: a constant read before the aggregate that
    // steps it must already know that it is one.
    KXEquationProgramCompiler(KXEquationCompiledProgram& program, bool collecting)
        : m_program(program), m_code(program.m_code), m_collecting(collecting)
    {
    }

    int fallback(const KXEquationCommand& node) override
    {
        Instruction in(Op::Fallback, node);
        in.index = int(m_code.fallbacks.size());
        m_code.fallbacks.push_back(&node);
        return add(in);
    }

    int constant(const KXEquationCommand& node) override
    {
        const QVariant value = m_collecting ? QVariant() : node.evaluate();
        Instruction in(Op::Constant, node);
        in.index = m_code.constants.size();
        m_code.constants.append(value);
        if (value.userType() == QMetaType::Double) {
            in.kind = Kind::Double;
            in.number = value.toDouble();
        } else if (value.userType() == QMetaType::Bool) {
            in.kind = Kind::Bool;
            in.number = value.toBool() ? 1.0 : 0.0;
        }
        return add(in);
    }

    void loopVariable(const QString& name) override
    {
        if (!m_code.slotNames.contains(name))
            m_code.slotNames.append(name);
    }

    int namedConstant(const KXEquationDataModelConstantCommand& node, const QString& name, bool negated) override
    {
        const int slot = m_code.slotNames.indexOf(name);
        if (slot < 0)
            return constant(node);
        Instruction in(Op::Slot, node, Kind::Double);
        in.index = slot;
        in.negated = negated;
        return add(in);
    }

    int val(const KXEquationValCommand& node, const QString& name) override
    {
        const int slot = m_code.slotNames.indexOf(name);
        if (slot < 0)
            return constant(node);
        Instruction in(Op::Val, node, Kind::Double);
        in.index = slot;
        return add(in);
    }

    int operation(const KXEquationOperatorCommand& node, const KXEquationOperatorCommand::Traits& traits, int left,
                  int right) override
    {
        Instruction in(Op::Operator, node);
        in.a = left;
        in.b = right;
        const Kind x = kindOf(left);
        const Kind y = kindOf(right);
        in.fast = fastOperator(traits);
        switch (in.fast) {
        case Fast::None:
            break;
        case Fast::Add: // a bool is no number for "+"
            in.kind = x == Kind::Double && y == Kind::Double ? Kind::Double : Kind::Other;
            break;
        case Fast::Subtract:
        case Fast::Multiply:
        case Fast::Divide:
        case Fast::Power:
            in.binary = traits.arithmetic;
            in.kind = numeric(x) && numeric(y) ? Kind::Double : Kind::Other;
            break;
        case Fast::Greater:
        case Fast::Less:
        case Fast::GreaterEqual:
        case Fast::LessEqual:
            in.kind = numeric(x) && numeric(y) ? Kind::Bool : Kind::Other;
            break;
        case Fast::And:
        case Fast::Or:
            in.kind = x == Kind::Bool && y == Kind::Bool ? Kind::Bool : Kind::Other;
            break;
        }
        return add(in);
    }

    int math(const KXEquationMathCommand& node, const KXEquationMathCommand::Traits& traits, int argument) override
    {
        Instruction in(Op::Math, node);
        in.a = argument;
        in.function = traits.function;
        if (traits.result == KXEquationMathCommand::Result::Real && numeric(kindOf(argument)))
            in.kind = Kind::Double;
        return add(in);
    }

    int range(const KXEquationCalculationCommand& node, const KXEquationCalculationCommand::Traits& traits,
              const QString& variable, int start, int end, int expression) override
    {
        using Form = KXEquationCalculationCommand::Form;
        Instruction in(Op::Range, node);
        in.a = start;
        in.b = end;
        in.c = expression;
        in.index = m_code.slotNames.indexOf(variable);
        in.removesLoop = !variable.isEmpty();
        in.range = &traits;
        if ((traits.form == Form::Accumulate || traits.form == Form::Extreme) && numeric(kindOf(start))
            && numeric(kindOf(end)) && numeric(kindOf(expression)))
            in.kind = Kind::Double;
        return add(in);
    }

    int selection(const KXEquationCalculationSelectionCommand& node, int argument) override
    {
        Instruction in(Op::Selection, node);
        in.a = argument;
        return add(in);
    }

    int data(const KXEquationDataCommand& node, const QString& name, int row, int column) override
    {
        Instruction in(Op::Data, node);
        in.a = row;
        in.b = column;
        in.index = dataset(name);
        if (numeric(kindOf(row)) && numeric(kindOf(column)))
            in.kind = Kind::Double;
        return add(in);
    }

    int header(const KXEquationHeaderCommand& node, const QString& name, Qt::Orientation orientation,
               int index) override
    {
        Instruction in(Op::Header, node);
        in.a = index;
        in.index = dataset(name);
        in.orientation = orientation;
        return add(in);
    }

    int random(const KXEquationRandCommand& node, int start, int end) override
    {
        Instruction in(Op::Random, node);
        in.a = start;
        in.b = end;
        return add(in);
    }

    int condition(const KXEquationIfCommand& node, int test, int whenTrue, int whenFalse) override
    {
        Instruction in(Op::Condition, node);
        in.a = test;
        in.b = whenTrue;
        in.c = whenFalse;
        const Kind kind = kindOf(whenTrue);
        if (kindOf(test) == Kind::Bool && kind != Kind::Other && kindOf(whenFalse) == kind)
            in.kind = kind;
        return add(in);
    }

private:
    struct Instruction : KXEquationProgram::Instruction {
        Instruction(Op operation, const KXEquationCommand& from, Kind valueKind = Kind::Other)
        {
            op = operation;
            node = &from;
            kind = valueKind;
        }
    };

    int add(KXEquationProgram::Instruction in)
    {
        // A block of cells takes both branches of a condition, so a branch may not step a loop
        // variable that the cells of the other branch would then see stepped.
        in.writesSlots = in.op == Op::Range || in.op == Op::Fallback;
        in.lanes = in.kind != Kind::Other;
        for (const int child : {in.a, in.b, in.c}) {
            if (child < 0)
                continue;
            in.writesSlots = in.writesSlots || m_code.instructions[child].writesSlots;
            in.lanes = in.lanes && m_code.instructions[child].lanes;
        }
        if (in.op == Op::Condition && in.lanes)
            in.lanes = !m_code.instructions[in.b].writesSlots && !m_code.instructions[in.c].writesSlots;
        m_code.instructions.push_back(in);
        return int(m_code.instructions.size()) - 1;
    }

    Kind kindOf(int instruction) const { return m_code.instructions[instruction].kind; }

    static Fast fastOperator(const KXEquationOperatorCommand::Traits& traits)
    {
        const struct {
            const KXEquationOperatorCommand::Traits* traits;
            Fast fast;
        } members[] = {
            {&KXEquationOperatorPlusCommand::familyTraits, Fast::Add},
            {&KXEquationOperatorMinusCommand::familyTraits, Fast::Subtract},
            {&KXEquationOperatorMultiplyCommand::familyTraits, Fast::Multiply},
            {&KXEquationOperatorDivideCommand::familyTraits, Fast::Divide},
            {&KXEquationOperatorPowerCommand::familyTraits, Fast::Power},
            {&KXEquationOperatorSuperiorCommand::familyTraits, Fast::Greater},
            {&KXEquationOperatorInferiorCommand::familyTraits, Fast::Less},
            {&KXEquationOperatorSuperiorEqualCommand::familyTraits, Fast::GreaterEqual},
            {&KXEquationOperatorInferiorEqualCommand::familyTraits, Fast::LessEqual},
            {&KXEquationOperatorANDCommand::familyTraits, Fast::And},
            {&KXEquationOperatorORCommand::familyTraits, Fast::Or},
        };
        for (const auto& member : members) {
            if (member.traits == &traits)
                return member.fast;
        }
        return Fast::None;
    }

    int dataset(const QString& name)
    {
        int index = m_code.datasetNames.indexOf(name);
        if (index < 0) {
            index = m_code.datasetNames.size();
            m_code.datasetNames.append(name);
            m_code.datasets.push_back(m_collecting ? nullptr
                                                   : std::make_unique<KXEquationDatasetSnapshot>(*m_program.m_variables, name));
        }
        return index;
    }

    KXEquationCompiledProgram& m_program;
    Code& m_code;
    bool m_collecting;
};

namespace {

/// One thread's evaluation of a compiled program.
class Runner final : public KXEquationCompiledWorker
{
    static constexpr int LANES = 64;
    struct Lanes {
        double value[LANES];
        bool bad[LANES];
        bool uniform;
    };
    struct BlockSlot {
        double value;
        bool present;
        bool perColumn; // the column number of each cell
    };

public:
    Runner(const Code& code, const KXEquationVariableModel& variables, const std::atomic<bool>* cancel)
        : m_code(code), m_in(code.instructions.data()), m_cancel(cancel), m_slots(code.initialSlots),
          m_saved(code.initialSlots), m_seed(variables.randomSeed())
    {
        m_lanes.resize(code.instructions.size());
        m_blockSlots.resize(code.initialSlots.size());
        if (code.fallbacks.empty())
            return;
        m_variables = std::make_unique<KXEquationVariableModel>(&variables);
        m_variables->setCancelFlag(cancel); // the walked aggregates stop too
        for (const KXEquationCommand* node : code.fallbacks)
            m_trees.emplace_back(node->clone(m_variables.get()));
    }

    void writeRow(int row, int firstColumn, int lastColumn, KXCellStore& out, size_t at) override
    {
        const Instruction& root = m_in[m_code.root];
        // 64-bit column numbers: a range may end at the largest int, where an int step would wrap.
        if (!root.lanes) {
            for (qint64 column = firstColumn; column <= lastColumn; ++column)
                out.set(at++, cell(row, int(column)));
            return;
        }
        for (qint64 first = firstColumn; first <= lastColumn; first += LANES) {
            const int count = int(std::min<qint64>(LANES, lastColumn - first + 1));
            startBlock(row, int(first), count);
            lanes(m_code.root, count);
            const Lanes& result = spread(m_lanes[m_code.root], count);
            for (int lane = 0; lane < count; ++lane, ++at) {
                const double x = result.value[lane];
                if (result.bad[lane]) {
                    out.set(at, cell(row, int(first + lane)));
                    continue;
                }
                if (root.kind == Kind::Bool)
                    out.set(at, QVariant(x != 0.0));
                else
                    out.setNumber(at, x);
                ++m_doubleCells;
            }
        }
    }

private:
    // The typed path's loop: the loop variable is a slot.
    class Body final : public KXEquationCalculationCommand::Body
    {
    public:
        Body(Runner& runner, const Instruction& in) : m_runner(runner), m_in(in) {}
        QVariant valueAt(qint64 k) override
        {
            if (m_runner.cancelled())
                return KXEquationCommand::errorValue(cancelMessage());
            Slot& loop = m_runner.m_slots[m_in.index];
            loop.present = true;
            loop.value = double(k);
            return m_runner.value(m_in.c);
        }
        void removeLoopVariable() override
        {
            if (m_in.removesLoop)
                m_runner.m_slots[m_in.index].present = false;
        }

    private:
        Runner& m_runner;
        const Instruction& m_in;
    };

    static QString cancelMessage()
    {
        return QCoreApplication::translate("KXEquationComputation", "Computation cancelled", "Calcul annulé", -1);
    }

    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

    // One cell on its own: the double path, else the typed path.
    QVariant cell(int row, int column)
    {
        startCell(row, column);
        const Instruction& root = m_in[m_code.root];
        if (root.kind != Kind::Other) {
            m_bail = false;
            const double x = number(m_code.root);
            if (!m_bail) {
                ++m_doubleCells;
                return root.kind == Kind::Bool ? QVariant(x != 0.0) : QVariant(x);
            }
            startCell(row, column);
        }
        return value(m_code.root);
    }

    // The block path: the double path for up to LANES cells of a row at once, one instruction
    // after the other, so that the cost of reading the program is shared by the block. A lane
    // is bad where the double path would give up for that cell; bad cells are taken one by one.
    // Slots hold one value for the whole block except "j" before anything steps it.
    void startBlock(int row, int firstColumn, int count)
    {
        for (std::size_t s = 0; s < m_blockSlots.size(); ++s)
            m_blockSlots[s] = {m_code.initialSlots[s].value, m_code.initialSlots[s].present, false};
        m_blockSlots[ROW_SLOT] = {double(row), true, false};
        m_blockSlots[COLUMN_SLOT] = {0.0, true, true};
        for (int lane = 0; lane < count; ++lane)
            m_columns[lane] = double(qint64(firstColumn) + lane);
    }

    // A value that is the same in every cell of the block is kept once, in lane 0.
    static void fill(Lanes& out, double x, bool bad)
    {
        out.uniform = true;
        out.value[0] = x;
        out.bad[0] = bad;
    }

    static Lanes& spread(Lanes& lanes, int count)
    {
        if (lanes.uniform) {
            std::fill(lanes.value + 1, lanes.value + count, lanes.value[0]);
            std::fill(lanes.bad + 1, lanes.bad + count, lanes.bad[0]);
            lanes.uniform = false;
        }
        return lanes;
    }

    // Computes the children; the number of lanes to compute is 1 when all of them are uniform.
    int childLanes(const Instruction& in, int count, Lanes& out)
    {
        bool uniform = true;
        for (const int child : {in.a, in.b, in.c}) {
            if (child >= 0) {
                lanes(child, count);
                uniform = uniform && m_lanes[child].uniform;
            }
        }
        out.uniform = uniform;
        if (uniform)
            return 1;
        for (const int child : {in.a, in.b, in.c}) {
            if (child >= 0)
                spread(m_lanes[child], count);
        }
        return count;
    }

    void lanes(int at, int count)
    {
        const Instruction& in = m_in[at];
        Lanes& out = m_lanes[at];
        switch (in.op) {
        case Op::Constant:
            fill(out, in.number, false);
            return;
        case Op::Slot:
        case Op::Val: {
            const BlockSlot& slot = m_blockSlots[in.index];
            if (!slot.present) {
                fill(out, KXNoValue, in.op == Op::Slot);
                return;
            }
            if (!slot.perColumn) {
                fill(out, in.negated ? slot.value * -1.0 : slot.value, false);
                return;
            }
            out.uniform = false;
            for (int lane = 0; lane < count; ++lane)
                out.value[lane] = in.negated ? m_columns[lane] * -1.0 : m_columns[lane];
            std::fill(out.bad, out.bad + count, false);
            return;
        }
        case Op::Operator: {
            const int n = childLanes(in, count, out);
            operationLanes(in, m_lanes[in.a], m_lanes[in.b], out, n);
            return;
        }
        case Op::Math: {
            const int n = childLanes(in, count, out);
            const Lanes& x = m_lanes[in.a];
            for (int lane = 0; lane < n; ++lane) {
                out.bad[lane] = x.bad[lane] || x.value[lane] == KXNoValue;
                out.value[lane] = out.bad[lane] ? 0.0 : in.function(x.value[lane]);
            }
            return;
        }
        case Op::Data: {
            const int n = childLanes(in, count, out);
            const Lanes& r = m_lanes[in.a];
            const Lanes& c = m_lanes[in.b];
            const KXEquationDatasetSnapshot& dataset = *m_code.datasets[in.index];
            for (int lane = 0; lane < n; ++lane) {
                int row = 0;
                int column = 0;
                out.bad[lane] = r.bad[lane] || c.bad[lane] || !index(r.value[lane], row)
                    || !index(c.value[lane], column) || !dataset.number(row, column, out.value[lane]);
            }
            return;
        }
        case Op::Condition: {
            const int n = childLanes(in, count, out);
            const Lanes& test = m_lanes[in.a];
            const Lanes& yes = m_lanes[in.b];
            const Lanes& no = m_lanes[in.c];
            for (int lane = 0; lane < n; ++lane) {
                const bool chosen = test.value[lane] != 0.0;
                out.value[lane] = chosen ? yes.value[lane] : no.value[lane];
                out.bad[lane] = test.bad[lane] || (chosen ? yes.bad[lane] : no.bad[lane]);
            }
            return;
        }
        case Op::Range:
            aggregateLanes(in, out, count);
            return;
        default:
            fill(out, 0.0, true);
            return;
        }
    }

    template <class Function>
    static void arithmeticLanes(const Lanes& x, const Lanes& y, Lanes& out, int count, Function function)
    {
        for (int lane = 0; lane < count; ++lane) {
            const double a = x.value[lane];
            const double b = y.value[lane];
            out.bad[lane] = x.bad[lane] | y.bad[lane] | (a == KXNoValue) | (b == KXNoValue);
            out.value[lane] = function(a, b);
        }
    }

    template <class Function>
    static void comparisonLanes(const Lanes& x, const Lanes& y, Lanes& out, int count, Function function)
    {
        for (int lane = 0; lane < count; ++lane) {
            const double a = x.value[lane];
            const double b = y.value[lane];
            out.bad[lane] = x.bad[lane] | y.bad[lane];
            out.value[lane] = function(a, b) ? 1.0 : 0.0;
        }
    }

    void operationLanes(const Instruction& in, const Lanes& x, const Lanes& y, Lanes& out, int count)
    {
        const auto marked = [](double a, double b) { return a != KXNoValue && b != KXNoValue; };
        switch (in.fast) {
        case Fast::Add:
            return arithmeticLanes(x, y, out, count, [](double a, double b) { return a + b; });
        case Fast::Subtract:
            return arithmeticLanes(x, y, out, count, [](double a, double b) { return a - b; });
        case Fast::Multiply:
            return arithmeticLanes(x, y, out, count, [](double a, double b) { return a * b; });
        case Fast::Divide:
            return arithmeticLanes(x, y, out, count, [](double a, double b) { return a / b; });
        case Fast::Power:
            return arithmeticLanes(x, y, out, count, in.binary);
        case Fast::Greater:
            return comparisonLanes(x, y, out, count, [&](double a, double b) { return marked(a, b) && a > b; });
        case Fast::Less:
            return comparisonLanes(x, y, out, count, [&](double a, double b) { return marked(a, b) && a < b; });
        case Fast::GreaterEqual:
            return comparisonLanes(x, y, out, count, [&](double a, double b) { return marked(a, b) && a >= b; });
        case Fast::LessEqual:
            return comparisonLanes(x, y, out, count, [&](double a, double b) { return marked(a, b) && a <= b; });
        case Fast::And:
            return comparisonLanes(x, y, out, count, [](double a, double b) { return a != 0.0 && b != 0.0; });
        case Fast::Or:
            return comparisonLanes(x, y, out, count, [](double a, double b) { return a != 0.0 || b != 0.0; });
        case Fast::None:
            break;
        }
        fill(out, 0.0, true);
    }

    template <class Function>
    static void accumulateLanes(const Lanes& x, Lanes& out, int count, Function combine)
    {
        for (int lane = 0; lane < count; ++lane) {
            out.bad[lane] = out.bad[lane] | x.bad[lane] | (x.value[lane] == KXNoValue);
            out.value[lane] = combine(out.value[lane], x.value[lane]);
        }
    }

    // The block steps the loop variable once for all its cells, so the bounds must agree in
    // every cell; where they do not, every cell is taken on its own.
    void aggregateLanes(const Instruction& in, Lanes& out, int count)
    {
        using Form = KXEquationCalculationCommand::Form;
        lanes(in.a, count);
        lanes(in.b, count);
        const Lanes& startLanes = m_lanes[in.a];
        const Lanes& endLanes = m_lanes[in.b];
        int start = 0;
        int end = 0;
        bool uniform = !startLanes.bad[0] && !endLanes.bad[0] && bound(startLanes.value[0], start)
            && bound(endLanes.value[0], end);
        for (const Lanes* bounds : {&startLanes, &endLanes}) {
            for (int lane = 1; lane < count && uniform && !bounds->uniform; ++lane) {
                uniform = !bounds->bad[lane]
                    && std::memcmp(&bounds->value[lane], &bounds->value[0], sizeof(double)) == 0;
            }
        }
        if (!uniform) {
            fill(out, 0.0, true);
            return;
        }
        const KXEquationCalculationCommand::Traits& row = *in.range;
        BlockSlot& loop = m_blockSlots[in.index];
        Lanes& x = m_lanes[in.c];
        // The body's lanes for the loop value k, and how many lanes differ; false once cancelled.
        const auto bodyAt = [&](qint64 k, int& n) {
            if (cancelled()) {
                fill(out, 0.0, true);
                return false;
            }
            loop = {double(k), true, false};
            lanes(in.c, count);
            n = out.uniform && x.uniform ? 1 : count;
            if (n > 1) {
                spread(out, count);
                spread(x, count);
            }
            return true;
        };
        if (row.form == Form::Accumulate) {
            fill(out, row.initial, false);
            for (qint64 k = start; k <= end; ++k) {
                int n = 0;
                if (!bodyAt(k, n))
                    return;
                if (row.combine == KXEquationCalculationCommand::addStep)
                    accumulateLanes(x, out, n, [](double acc, double y) { return acc + y; });
                else if (row.combine == KXEquationCalculationCommand::multiplyStep)
                    accumulateLanes(x, out, n, [](double acc, double y) { return acc * y; });
                else
                    accumulateLanes(x, out, n, row.combine);
            }
            if (row.averaged) {
                const double divisor = double(qint64(end) - qint64(start) + 1);
                const int n = out.uniform ? 1 : count;
                for (int lane = 0; lane < n; ++lane)
                    out.value[lane] = out.value[lane] / divisor;
            }
        } else {
            loop = {double(start), true, false};
            lanes(in.c, count);
            const int first = x.uniform ? 1 : count;
            out.uniform = x.uniform;
            std::copy(x.value, x.value + first, out.value);
            std::copy(x.bad, x.bad + first, out.bad);
            for (qint64 k = qint64(start) + 1; k <= end; ++k) {
                int n = 0;
                if (!bodyAt(k, n))
                    return;
                for (int lane = 0; lane < n; ++lane) {
                    out.bad[lane] = out.bad[lane] || x.bad[lane];
                    if (x.value[lane] != KXNoValue && row.replaces(x.value[lane], out.value[lane]))
                        out.value[lane] = x.value[lane];
                }
            }
        }
        if (in.removesLoop)
            loop.present = false;
    }

    void startCell(int row, int column)
    {
        std::copy(m_code.initialSlots.begin(), m_code.initialSlots.end(), m_slots.begin());
        m_draws = 0;
        m_slots[ROW_SLOT] = {double(row), true};
        m_slots[COLUMN_SLOT] = {double(column), true};
    }

    double giveUp()
    {
        m_bail = true;
        return 0.0;
    }

    static bool bound(double x, int& whole)
    {
        return wholeNumber(x, whole) || KXEquationCalculationCommand::toBound(QVariant(x), whole);
    }

    // The double path: the value the typed path gives as a double (or a bool as 0 or 1), or
    // m_bail set when it cannot say. It has no effect that the typed path would not redo.
    double number(int at)
    {
        const Instruction& in = m_in[at];
        switch (in.op) {
        case Op::Constant:
            return in.number;
        case Op::Slot: {
            const Slot& slot = m_slots[in.index];
            if (!slot.present)
                return giveUp();
            return in.negated ? slot.value * -1.0 : slot.value;
        }
        case Op::Val: {
            const Slot& slot = m_slots[in.index];
            return slot.present ? slot.value : KXNoValue;
        }
        case Op::Operator:
            return operation(in);
        case Op::Math: {
            const double x = number(in.a);
            if (m_bail || x == KXNoValue)
                return giveUp();
            return in.function(x);
        }
        case Op::Range:
            return aggregate(in);
        case Op::Data: {
            const double r = number(in.a);
            if (m_bail)
                return 0.0;
            const double c = number(in.b);
            if (m_bail)
                return 0.0;
            int row = 0;
            int column = 0;
            if (!index(r, row) || !index(c, column))
                return giveUp();
            double x = 0.0;
            if (!m_code.datasets[in.index]->number(row, column, x))
                return giveUp();
            return x;
        }
        case Op::Condition: {
            const double test = number(in.a);
            if (m_bail)
                return 0.0;
            return number(test != 0.0 ? in.b : in.c);
        }
        default:
            return giveUp();
        }
    }

    static bool index(double x, int& zeroBased)
    {
        int whole = 0;
        if (wholeNumber(x, whole) && whole > -2147483647) {
            zeroBased = whole - 1;
            return true;
        }
        return KXEquationDataCommand::toIndex(QVariant(x), zeroBased);
    }

    double operation(const Instruction& in)
    {
        const double x = number(in.a);
        if (m_bail)
            return 0.0;
        const double y = number(in.b);
        if (m_bail)
            return 0.0;
        switch (in.fast) {
        case Fast::Add:
            return x == KXNoValue || y == KXNoValue ? giveUp() : x + y;
        case Fast::Subtract:
            return x == KXNoValue || y == KXNoValue ? giveUp() : x - y;
        case Fast::Multiply:
            return x == KXNoValue || y == KXNoValue ? giveUp() : x * y;
        case Fast::Divide:
            return x == KXNoValue || y == KXNoValue ? giveUp() : x / y;
        case Fast::Power:
            return x == KXNoValue || y == KXNoValue ? giveUp() : in.binary(x, y);
        case Fast::Greater:
            return x != KXNoValue && y != KXNoValue && x > y ? 1.0 : 0.0;
        case Fast::Less:
            return x != KXNoValue && y != KXNoValue && x < y ? 1.0 : 0.0;
        case Fast::GreaterEqual:
            return x != KXNoValue && y != KXNoValue && x >= y ? 1.0 : 0.0;
        case Fast::LessEqual:
            return x != KXNoValue && y != KXNoValue && x <= y ? 1.0 : 0.0;
        case Fast::And:
            return x != 0.0 && y != 0.0 ? 1.0 : 0.0;
        case Fast::Or:
            return x != 0.0 || y != 0.0 ? 1.0 : 0.0;
        case Fast::None:
            break;
        }
        return giveUp();
    }

    // sum, prod, average, min and max as KXEquationCalculationCommand computes them, with
    // their table's functions; any value that would not stay a double hands over to the typed path.
    double aggregate(const Instruction& in)
    {
        using Form = KXEquationCalculationCommand::Form;
        const double startValue = number(in.a);
        if (m_bail)
            return 0.0;
        const double endValue = number(in.b);
        if (m_bail)
            return 0.0;
        int start = 0;
        int end = 0;
        if (!bound(startValue, start) || !bound(endValue, end))
            return giveUp();
        const KXEquationCalculationCommand::Traits& row = *in.range;
        Slot& loop = m_slots[in.index];
        double result = 0.0;
        if (row.form == Form::Accumulate) {
            double acc = row.initial;
            for (qint64 k = start; k <= end; ++k) {
                if (cancelled())
                    return giveUp();
                loop = {double(k), true};
                const double x = number(in.c);
                if (m_bail || x == KXNoValue)
                    return giveUp();
                acc = row.combine(acc, x);
            }
            result = row.averaged ? acc / double(qint64(end) - qint64(start) + 1) : acc;
        } else {
            loop = {double(start), true};
            double extreme = number(in.c);
            if (m_bail)
                return 0.0;
            for (qint64 k = qint64(start) + 1; k <= end; ++k) {
                if (cancelled())
                    return giveUp();
                loop = {double(k), true};
                const double x = number(in.c);
                if (m_bail)
                    return 0.0;
                if (x != KXNoValue && row.replaces(x, extreme))
                    extreme = x;
            }
            result = extreme;
        }
        if (in.removesLoop)
            loop.present = false;
        return result;
    }

    template <class Node>
    static const Node& node(const Instruction& in)
    {
        return static_cast<const Node&>(*in.node);
    }

    // The typed path: the nodes' own steps on values of every kind.
    QVariant value(int at)
    {
        const Instruction& in = m_in[at];
        if (in.kind != Kind::Other && in.op != Op::Constant) {
            // Worth a try on the double path; what it changed is undone when it gives up.
            std::copy(m_slots.begin(), m_slots.end(), m_saved.begin());
            m_bail = false;
            const double x = number(at);
            if (!m_bail)
                return in.kind == Kind::Bool ? QVariant(x != 0.0) : QVariant(x);
            std::copy(m_saved.begin(), m_saved.end(), m_slots.begin());
        }
        switch (in.op) {
        case Op::Constant:
            return m_code.constants.at(in.index);
        case Op::Slot: {
            const Slot& slot = m_slots[in.index];
            return node<KXEquationDataModelConstantCommand>(in).valueOf(slot.present, slot.value);
        }
        case Op::Val: {
            const Slot& slot = m_slots[in.index];
            return QVariant(slot.present ? slot.value : KXNoValue);
        }
        case Op::Operator: {
            const QVariant a = value(in.a);
            const QVariant b = value(in.b);
            return node<KXEquationOperatorCommand>(in).combine(a, b);
        }
        case Op::Math:
            return node<KXEquationMathCommand>(in).apply(value(in.a));
        case Op::Range: {
            const QVariant start = value(in.a);
            const QVariant end = value(in.b);
            Body body(*this, in);
            return node<KXEquationCalculationCommand>(in).aggregate(start, end, body);
        }
        case Op::Selection:
            return node<KXEquationCalculationSelectionCommand>(in).aggregate(value(in.a));
        case Op::Data: {
            const QVariant row = value(in.a);
            const QVariant column = value(in.b);
            const KXEquationDatasetSnapshot& dataset = *m_code.datasets[in.index];
            return node<KXEquationDataCommand>(in).cellAt(
                row, column, [&dataset](int r, int c) { return dataset.cell(r, c); });
        }
        case Op::Header: {
            const KXEquationDatasetSnapshot& dataset = *m_code.datasets[in.index];
            const Qt::Orientation orientation = in.orientation;
            return node<KXEquationHeaderCommand>(in).headerAt(
                value(in.a), [&dataset, orientation](int section) { return dataset.header(orientation, section); });
        }
        case Op::Random: {
            if (in.a < 0)
                return QVariant(nextDraw());
            const QVariant start = value(in.a);
            const QVariant end = value(in.b);
            return node<KXEquationRandCommand>(in).drawBetween(start, end, nextDraw());
        }
        case Op::Condition: {
            const QVariant test = value(in.a);
            const QVariant failure = KXEquationIfCommand::conditionFailure(test);
            if (failure.isValid())
                return failure;
            return value(test.toBool() ? in.b : in.c);
        }
        case Op::Fallback:
            return walk(in.index);
        }
        return QVariant();
    }

    // As the tree's rand node draws: keyed by "i" and "j" as they stand and the cell's draw count.
    int nextDraw()
    {
        const Slot& row = m_slots[ROW_SLOT];
        const Slot& column = m_slots[COLUMN_SLOT];
        return KXEquationRandCommand::fifteenBits(m_seed, row.present ? row.value : KXNoValue,
                                                  column.present ? column.value : KXNoValue, m_draws++);
    }

    // A subtree the program does not know: walked on this worker's clone, with the constants that
    // change (and the cell's draw count) written into its variable model before and read back after.
    QVariant walk(int fallback)
    {
        KXEquationVariableModel& variables = *m_variables;
        variables.setRandomDraws(m_draws);
        for (int s = 0; s < int(m_slots.size()); ++s) {
            const QString& name = m_code.slotNames.at(s);
            if (m_slots[s].present)
                variables.addVariable(name, m_slots[s].value);
            else if (variables.variableConstantExist(name))
                variables.removeVariable(name);
        }
        const QVariant result = m_trees[fallback]->evaluate();
        m_draws = variables.randomDraws();
        for (int s = 0; s < int(m_slots.size()); ++s) {
            const QString& name = m_code.slotNames.at(s);
            m_slots[s].present = variables.variableConstantExist(name);
            if (m_slots[s].present)
                m_slots[s].value = variables.getVariableConstantValue(name);
        }
        return result;
    }

    const Code& m_code;
    const Instruction* m_in;
    std::vector<Lanes> m_lanes;
    std::vector<BlockSlot> m_blockSlots;
    double m_columns[LANES];
    const std::atomic<bool>* m_cancel;
    std::vector<Slot> m_slots;
    std::vector<Slot> m_saved;
    bool m_bail = false;
    const quint64 m_seed;
    quint64 m_draws = 0; // the draws of the current cell
    // The model copy is declared before the clones that refer to it.
    std::unique_ptr<KXEquationVariableModel> m_variables;
    std::vector<std::unique_ptr<KXEquationCommand>> m_trees;
};
}

KXEquationCompiledProgram::KXEquationCompiledProgram(const KXEquationCommand& tree,
                                                     const KXEquationVariableModel& variables)
    : m_variables(std::make_unique<KXEquationVariableModel>(&variables))
{
    m_tree.reset(tree.clone(m_variables.get()));
    m_code.slotNames = QStringList{QStringLiteral("i"), QStringLiteral("j")};
    KXEquationProgramCompiler(*this, true).compile(*m_tree);
    m_code.instructions.clear();
    m_code.constants.clear();
    m_code.datasets.clear();
    m_code.datasetNames.clear();
    m_code.fallbacks.clear();
    m_code.root = KXEquationProgramCompiler(*this, false).compile(*m_tree);

    for (const QString& name : qAsConst(m_code.slotNames)) {
        Slot slot;
        slot.present = m_variables->variableConstantExist(name);
        if (slot.present)
            slot.value = m_variables->getVariableConstantValue(name);
        m_code.initialSlots.push_back(slot);
    }
}

KXEquationCompiledProgram::~KXEquationCompiledProgram()
{
    m_code.fallbacks.clear();
    m_tree.reset();
}

std::unique_ptr<KXEquationCellProgram::Worker> KXEquationCompiledProgram::makeWorker(
    const std::atomic<bool>* cancel) const
{
    return std::make_unique<Runner>(m_code, *m_variables, cancel);
}

bool KXEquationCompiledProgram::hasDoublePath() const
{
    return m_code.instructions[m_code.root].kind != Kind::Other;
}

std::unique_ptr<KXEquationCellProgram> compileCellProgram(const KXEquationCommand& tree,
                                                          const KXEquationVariableModel& variables)
{
    return std::make_unique<KXEquationCompiledProgram>(tree, variables);
}
