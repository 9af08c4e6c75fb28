#pragma once

#include "core/FailureKind.h"

// The command line's exit codes. Documented in its usage text; scripts rely on them, so they never
// change meaning.
struct CommandExit
{
    enum Code : int {
        Success = 0,
        Failure = 1,
        UsageError = 2,
        WpsRunning = 3,
        ServiceUnreachable = 4,
        OperationBusy = 5,
        SignInRequired = 6,
        UpdateAvailable = 10,
    };
};

// How code treats a failure of one kind: the one place that groups the kinds.
struct FailureClass
{
    // The service cannot be reached from here: offline, no route, host or name lookup, connection
    // lost, timed out.
    bool network = false;
    // A gate that holds the operation back (WPS running, another operation busy): shown as the
    // gate's own sentence, not as a failure of the work.
    bool refusal = false;
    // Stopped because nobody wants the result any more: nothing to report.
    bool cancellation = false;
    CommandExit::Code exitCode = CommandExit::Failure;

    static FailureClass of(FailureKind kind);
};
