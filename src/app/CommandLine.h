#pragma once

#include "core/FailureClass.h"
#include "model/OperationOutcome.h"

#include <QString>
#include <QStringList>

// The commands that let administrators run the tool's operations without its window: what the
// arguments ask for, the usage text and the exit codes.
class CommandLine : public CommandExit
{
public:
    enum class Command { Help, Version, Status, Check, Install, RepairFromCache, Uninstall, Mirror };

    using ExitCode = CommandExit::Code;

    struct Invocation
    {
        Command command = Command::Help;
        bool json = false;
        bool offline = false;
        bool confirmed = false;
        // mirror: the folder it writes and the release it adds (empty: the latest).
        QString mirrorDir;
        QString mirrorVersion;
        // Why the arguments are not a valid command; empty when they are.
        QString usageError;
    };

    // Whether the arguments (program name first) ask for a command rather than the window: the first
    // argument is a word, known command or not, or one of the help and version options. Qt's own
    // options (-platform, --style …) and those the system adds start with a dash and open the window.
    static bool wantsCommand(int argc, const char *const *argv);
    // The arguments after the program name.
    static Invocation parse(const QStringList &arguments);
    static QString usage(const QString &program);
    // The exit code of an operation that ended so: 0 when done, else by what stopped it.
    static ExitCode exitCodeFor(const OperationOutcome &outcome);

private:
    static Invocation parseMirror(const QStringList &arguments);
};
