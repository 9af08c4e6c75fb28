#include "Operation.h"

#include "model/AuthToolModel.h"

#include <QCoro/QCoroSignal>

Operation::Operation(AuthToolModel *model)
    : m_model(model)
{
}

void Operation::start()
{
    execute();
}

QCoro::Task<> Operation::execute()
{
    m_outcome = co_await run();
    m_finished = true;
    Q_EMIT finished(m_outcome);
    deleteLater();
}

QCoro::Task<OperationOutcome> Operation::result()
{
    if (m_finished)
        co_return m_outcome;
    co_return co_await qCoro(this, &Operation::finished);
}
