#pragma once

#include "KXEquationCellProgram.h"
#include "KXEquationProgramCode.h"

/// What a compiled program's worker tells about the cells it evaluated.
class KXEQUATION_EXPORT KXEquationCompiledWorker : public KXEquationCellProgram::Worker
{
public:
    /// Cells whose value came from the double path.
    qint64 doubleCells() const { return m_doubleCells; }

protected:
    qint64 m_doubleCells = 0;
};

/// A formula tree compiled into a flat program. Cells are first tried on a double path, where
/// every value is a plain double; a cell where that path meets anything whose kind or value it
/// cannot vouch for (a no-value marker, a text, an error) is evaluated again on the typed path,
/// which calls the same steps as the tree's nodes and gives every kind and message they give.
class KXEQUATION_EXPORT KXEquationCompiledProgram final : public KXEquationCellProgram
{
public:
    KXEquationCompiledProgram(const KXEquationCommand& tree, const KXEquationVariableModel& variables);
    ~KXEquationCompiledProgram() override;

    std::unique_ptr<Worker> makeWorker(const std::atomic<bool>* cancel) const override;
    /// Only the walked subtrees report.
    bool reports() const override { return !m_code.fallbacks.empty(); }

    /// Whether cells are tried on the double path first.
    bool hasDoublePath() const;
    /// The number of subtrees walked as trees.
    int fallbackCount() const { return int(m_code.fallbacks.size()); }

private:
    friend class KXEquationProgramCompiler;

    std::unique_ptr<KXEquationVariableModel> m_variables;
    std::unique_ptr<KXEquationCommand> m_tree;
    KXEquationProgram::Code m_code;
};
