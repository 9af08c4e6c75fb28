#pragma once

#include "core/ProcessRunner.h"

#include <QCoro/QCoroTask>
#include <QMap>
#include <QString>
#include <QStringList>

// The installer script that the tool carries in its resources: where it is, the environment it is
// given, and what its exit status means.
namespace InstallerScriptRun {

inline const QString scriptRelativePath =
    QStringLiteral("Payload/installers/install-corvanta-wps-analysis-macos.command");

// An install that is done. An older version's folder that could not be removed does not undo it.
struct Result
{
    // Names of those folders in WPS's add-in directory, as the helper reported them.
    QStringList leftovers;
    // What the script printed for the user (it says why in words).
    QString output;
};

// This process's environment with the variables the script reads set, WPS's add-in folder among
// them.
QMap<QString, QString> environment(const QString &managementAppPath, const QString &packageDirectory);

// Runs the script below `resourceDir` with /bin/bash, right after checking once more that WPS is
// not running. Throws Failure: WpsRunning (nothing started), InstallerMissing, or the kind of the
// script's exit status with its output in the details.
QCoro::Task<Result> run(QString resourceDir, QString managementAppPath, QString packageDirectory,
                        double timeoutSeconds = ProcessRunner::defaultTimeoutSeconds);

} // namespace InstallerScriptRun
