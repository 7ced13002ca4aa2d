#pragma once

#include "kxequation_global.h"

#include <QFuture>
#include <QVariant>

#include <atomic>
#include <memory>

class KXEquationCommand;
class KXEquationVariableModel;

/// One cell's evaluation of one formula tree: a clone of the tree on the task's own copy of the
/// variable model, in which "i" and "j" hold the cell's row and column numbers.
class KXEQUATION_EXPORT KXEquationParallelData
{
public:
    KXEquationParallelData(KXEquationCommand* command, KXEquationVariableModel* variableModel, int row, int col);
    virtual ~KXEquationParallelData();
    KXEquationParallelData(const KXEquationParallelData&) = delete;
    KXEquationParallelData& operator=(const KXEquationParallelData&) = delete;

    /// Starts the evaluation on the global thread pool; called once.
    void run();
    /// Waits for the evaluation and returns its value.
    QVariant result();

    int getRow() const { return m_row; }
    int getCol() const { return m_col; }
    /// Whether the evaluation looked up "i" or "j"; valid once the result is taken.
    bool varOnFormula() const;

private:
    // The copy is declared first: the clone refers to it and must go before it.
    std::unique_ptr<KXEquationVariableModel> m_variableModel;
    std::unique_ptr<KXEquationCommand> m_command;
    QFuture<QVariant> m_future;
    bool m_started = false;
    // Qt's futures synchronise through futexes that race checkers cannot see; these two flags
    // state the hand-over of the task's objects to the worker and back in terms they understand.
    std::atomic<bool> m_handedOver{false};
    std::atomic<bool> m_handedBack{false};
    int m_row;
    int m_col;
};
