#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>

// What the benchmarks that run the tool share: a fresh folder per run, and a way to stop.
namespace BenchRun {

// Prints why the benchmark stopped, under its program's name; its exit status.
inline int fail(const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(text));
    return 1;
}

// "<workDir>/run-<ms>" with home/ and shell/ in it, HOME pointing at its home/ and XDG_* unset, so
// the tool's files fall below it too (this file system creates files slowly after mass deletes);
// empty when it cannot be made.
inline QString start(const QString &workDir)
{
    const QString runDir = workDir + QStringLiteral("/run-") + QString::number(QDateTime::currentMSecsSinceEpoch());
    if (!QDir().mkpath(runDir + QStringLiteral("/home")) || !QDir().mkpath(runDir + QStringLiteral("/shell")))
        return {};
    qputenv("HOME", QFile::encodeName(runDir + QStringLiteral("/home")));
    for (const char *name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"})
        qunsetenv(name);
    return runDir;
}

} // namespace BenchRun
