#include "KXEquationParallelData.h"

#include "KXEquationCommand.h"
#include "KXEquationVariableModel.h"

#include <QtConcurrent>

KXEquationParallelData::KXEquationParallelData(KXEquationCommand* command, KXEquationVariableModel* variableModel,
                                               int row, int col)
    : m_variableModel(std::make_unique<KXEquationVariableModel>(static_cast<const KXEquationVariableModel*>(variableModel))),
      m_row(row),
      m_col(col)
{
    m_variableModel->addVariable(QStringLiteral("i"), double(row));
    m_variableModel->addVariable(QStringLiteral("j"), double(col));
    m_command.reset(command->clone(m_variableModel.get()));
}

KXEquationParallelData::~KXEquationParallelData()
{
    m_command.reset();
}

void KXEquationParallelData::run()
{
    const KXEquationCommand* command = m_command.get();
    m_future = QtConcurrent::run(QThreadPool::globalInstance(), [command] { return command->evaluate(); });
    m_started = true;
}

QVariant KXEquationParallelData::result()
{
    // A task that never ran has no value; an empty future has no result to wait for.
    return m_started ? m_future.result() : QVariant();
}

bool KXEquationParallelData::varOnFormula() const
{
    return m_variableModel->varOnFormula();
}
