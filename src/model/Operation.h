#pragma once

#include "model/OperationOutcome.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

#include <coroutine>
#include <vector>

class AuthToolModel;

// One long piece of work of the model (install, uninstall, check, sign-in hand-off), run once: the
// window and the command line start it alike and learn how it ended from finished(). It lives until
// its work ends, then deletes itself; the model may go first, and then the work ends as cancelled.
class Operation : public QObject
{
    Q_OBJECT

public:
    explicit Operation(AuthToolModel *model);

    // Begins the work; finished() follows, possibly before this returns.
    void start();
    bool isFinished() const { return m_finished; }
    const OperationOutcome &outcome() const { return m_outcome; }
    // The outcome once finished() has come (at once when it came already). Await it before
    // returning to the event loop that deletes the finished operation.
    QCoro::Task<OperationOutcome> result();

Q_SIGNALS:
    void finished(const OperationOutcome &outcome);

protected:
    virtual QCoro::Task<OperationOutcome> run() = 0;

    QPointer<AuthToolModel> m_model;

private:
    struct Ending;
    QCoro::Task<> execute();

    bool m_finished = false;
    OperationOutcome m_outcome;
    std::vector<std::coroutine_handle<>> m_awaiting;
};
