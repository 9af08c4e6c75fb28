#pragma once

#include "core/ProcessRunner.h"

#include <QCoro/QCoroTask>
#include <QMap>
#include <QString>

// The installer script that the tool carries in its resources: where it is, the environment it is
// given, and how its outcome becomes an error.
namespace InstallerScriptRun {

inline const QString scriptRelativePath =
    QStringLiteral("Payload/installers/install-corvanta-wps-analysis-macos.command");

// This process's environment with the four variables the script reads set.
QMap<QString, QString> environment(const QString &managementAppPath, const QString &packageDirectory);

// Runs the script below `resourceDir` with /bin/bash. Throws InstallerMissing when the script is
// missing (or there is no resource directory), InstallerFailed with everything it printed when it
// failed.
QCoro::Task<> run(QString resourceDir, QString managementAppPath, QString packageDirectory,
                  double timeoutSeconds = ProcessRunner::defaultTimeoutSeconds);

} // namespace InstallerScriptRun
