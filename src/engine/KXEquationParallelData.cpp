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
    m_handedOver.store(true, std::memory_order_release);
    m_future = QtConcurrent::run(QThreadPool::globalInstance(), [this] {
        m_handedOver.load(std::memory_order_acquire);
        const QVariant value = m_command->evaluate();
        m_handedBack.store(true, std::memory_order_release);
        return value;
    });
    m_started = true;
}

QVariant KXEquationParallelData::result()
{
    // A task that never ran has no value; an empty future has no result to wait for.
    if (!m_started)
        return QVariant();
    const QVariant value = m_future.result();
    m_handedBack.load(std::memory_order_acquire);
    return value;
}

bool KXEquationParallelData::varOnFormula() const
{
    return m_variableModel->varOnFormula();
}
