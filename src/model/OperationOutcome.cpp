#include "OperationOutcome.h"

#include "core/Failure.h"

OperationOutcome OperationOutcome::refused(Gate gate)
{
    OperationOutcome outcome(Result::Refused);
    outcome.m_gate = gate;
    return outcome;
}

OperationOutcome OperationOutcome::failed(std::exception_ptr failure)
{
    OperationOutcome outcome(Result::Failed);
    outcome.m_failure = std::move(failure);
    return outcome;
}

FailureKind OperationOutcome::kind() const
{
    switch (m_result) {
    case Result::Done:
        return FailureKind::Internal;
    case Result::Cancelled:
        return FailureKind::Cancelled;
    case Result::Failed:
        return failureKind(m_failure);
    case Result::Refused:
        break;
    }
    switch (m_gate) {
    case Gate::Offline:
        return FailureKind::Offline;
    case Gate::WpsRunning:
        return FailureKind::WpsRunning;
    case Gate::Busy:
        return FailureKind::Busy;
    case Gate::NotConfirmed:
        return FailureKind::Cancelled;
    case Gate::None:
        break;
    }
    return FailureKind::Internal;
}
