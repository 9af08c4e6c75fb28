#pragma once

#include "core/FailureKind.h"

#include <exception>

// How one operation of the model ended. The window reads the banner; a caller that must tell the
// ways apart (the command line's exit codes) reads this.
class OperationOutcome
{
public:
    enum class Result { Done, Refused, Cancelled, Failed };
    // What stopped an operation before it began its work.
    enum class Gate { None, Offline, WpsRunning, Busy, NotConfirmed };

    static OperationOutcome done() { return OperationOutcome(Result::Done); }
    static OperationOutcome refused(Gate gate);
    static OperationOutcome cancelled() { return OperationOutcome(Result::Cancelled); }
    static OperationOutcome failed(std::exception_ptr failure);

    OperationOutcome() = default;

    Result result() const { return m_result; }
    bool isDone() const { return m_result == Result::Done; }
    Gate gate() const { return m_gate; }
    const std::exception_ptr &failure() const { return m_failure; }
    // Why it did not end done, as a kind: a refusing gate's (a declined question is Cancelled), a
    // failure's own; Internal for a done operation.
    FailureKind kind() const;

private:
    explicit OperationOutcome(Result result) : m_result(result) {}

    Result m_result = Result::Done;
    Gate m_gate = Gate::None;
    std::exception_ptr m_failure;
};
