#pragma once

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <optional>
#include <type_traits>

// Runs blocking work (hashing, unpacking) on the thread pool and awaits it on the GUI thread, so
// the window keeps painting. An exception thrown by the work is rethrown to the awaiting coroutine
// (QtConcurrent alone would only carry QException). The work must not touch GUI-thread objects.
// Pass the work as a named variable: GCC 12 destroys temporaries in a co_await operand twice.
template<typename Work, typename Result = std::invoke_result_t<Work>>
QCoro::Task<Result> runOffGuiThread(Work work)
{
    struct Outcome
    {
        std::optional<Result> value;
        std::exception_ptr error;
    };
    auto future = QtConcurrent::run([work = std::move(work)]() {
        Outcome result;
        try {
            result.value = work();
        } catch (...) {
            result.error = std::current_exception();
        }
        return result;
    });
    const Outcome outcome = co_await future;
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    co_return *outcome.value;
}
