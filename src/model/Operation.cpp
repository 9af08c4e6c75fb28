#include "Operation.h"

#include "model/AuthToolModel.h"

#include <utility>

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
    // Those awaiting the outcome go on before the deletion is even queued: a queued resumption
    // could lose the race with a deferred delete flushed early and leave them suspended for good.
    for (std::coroutine_handle<> awaiting : std::exchange(m_awaiting, {}))
        awaiting.resume();
    deleteLater();
}

struct Operation::Ending
{
    Operation *operation;
    bool await_ready() const noexcept { return operation->m_finished; }
    void await_suspend(std::coroutine_handle<> awaiting) { operation->m_awaiting.push_back(awaiting); }
    void await_resume() const noexcept {}
};

QCoro::Task<OperationOutcome> Operation::result()
{
    co_await Ending{this};
    co_return m_outcome;
}
