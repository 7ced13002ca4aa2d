#include "KXEquationCellProgram.h"

#include "KXEquationCommand.h"
#include "KXEquationVariableModel.h"

namespace {

const QString ROW_NAME = QStringLiteral("i");
const QString COLUMN_NAME = QStringLiteral("j");

/// One thread's clone of the tree on its own variable-model copy, where "i" and "j" change per cell.
class TreeWalkWorker final : public KXEquationCellProgram::Worker
{
public:
    TreeWalkWorker(const KXEquationCommand& tree, const KXEquationVariableModel& variables,
                   const std::atomic<bool>* cancel)
        : m_base(&variables), m_variables(&variables)
    {
        m_variables.setCancelFlag(cancel);
        m_tree.reset(tree.clone(&m_variables));
    }

    void writeRow(int row, int firstColumn, int lastColumn, KXCellStore& out, size_t at) override
    {
        // 64-bit counter: a range may end at the largest int.
        for (qint64 column = firstColumn; column <= lastColumn; ++column) {
            // Each cell starts from the computation's variables, as a cell task's own copy does:
            // a loop variable named like a constant must not leak into the next cell.
            const std::atomic<bool>* cancel = m_variables.cancelFlag();
            m_variables.copy(m_base);
            m_variables.setCancelFlag(cancel);
            m_variables.addVariable(ROW_NAME, double(row));
            m_variables.addVariable(COLUMN_NAME, double(column));
            out.set(at++, m_tree->evaluate());
        }
    }

private:
    const KXEquationVariableModel* m_base;
    // Declared before the clone: the clone refers to it and goes before it.
    KXEquationVariableModel m_variables;
    std::unique_ptr<KXEquationCommand> m_tree;
};

/// Keeps its own clone, so that the program outlives the tree it was made from.
class TreeWalkProgram final : public KXEquationCellProgram
{
public:
    TreeWalkProgram(const KXEquationCommand& tree, const KXEquationVariableModel& variables)
        : m_variables(&variables), m_tree(tree.clone(&m_variables))
    {
    }

    // Only reads the program's copy and clone: the copy shares its maps, the clone is made on
    // the worker's own model.
    std::unique_ptr<Worker> makeWorker(const std::atomic<bool>* cancel) const override
    {
        return std::make_unique<TreeWalkWorker>(*m_tree, m_variables, cancel);
    }

private:
    KXEquationVariableModel m_variables;
    std::unique_ptr<KXEquationCommand> m_tree;
};

}

std::unique_ptr<KXEquationCellProgram> makeTreeWalkProgram(const KXEquationCommand& tree,
                                                           const KXEquationVariableModel& variables)
{
    return std::make_unique<TreeWalkProgram>(tree, variables);
}
