#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>

#include <cstdio>

// What an install costs done by hand, against which the benchmarks set the tool: the transfer,
// check, unpacking and copy into place by the system's tools in one shell, and the local floor,
// the unpacking and the copy alone from the archive already on disk.
struct ShellBaseline
{
    qint64 byHandMs = -1;
    qint64 floorMs = -1;

    // `url` is the archive's address, `archive` the same archive on disk; `dir` an empty folder.
    static ShellBaseline measure(const QString &url, const QString &archive, const QString &dir)
    {
        ShellBaseline baseline;
        baseline.byHandMs = run(QStringLiteral("curl -sS -o \"$3/a.zip\" \"$1\"; sha256sum \"$3/a.zip\" >/dev/null; "
                                               "unzip -q \"$3/a.zip\" -d \"$3/hand\"; cp -a \"$3/hand\" \"$3/hand-placed\""),
                                url, archive, dir);
        baseline.floorMs = run(QStringLiteral("unzip -q \"$2\" -d \"$3/floor\"; cp -a \"$3/floor\" \"$3/floor-placed\""), url,
                               archive, dir);
        return baseline;
    }

    void print(const char *tool, qint64 toolMs) const
    {
        std::printf("curl + sha256sum + unzip + cp -a:  %lld ms\n", static_cast<long long>(byHandMs));
        std::printf("unzip + cp -a (local floor):       %lld ms\n", static_cast<long long>(floorMs));
        std::printf("ratio %s / by hand:      %.2f\n", tool, byHandMs > 0 ? double(toolMs) / double(byHandMs) : 0.0);
        std::printf("ratio %s / local floor:  %.2f\n", tool, floorMs > 0 ? double(toolMs) / double(floorMs) : 0.0);
    }

private:
    static qint64 run(const QString &script, const QString &url, const QString &archive, const QString &dir)
    {
        QProcess shell;
        QElapsedTimer wall;
        wall.start();
        shell.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), QStringLiteral("set -e; ") + script,
                                                  QStringLiteral("bench"), url, archive, dir});
        shell.waitForFinished(-1);
        const qint64 ms = wall.elapsed();
        return shell.exitStatus() == QProcess::NormalExit && shell.exitCode() == 0 ? ms : -1;
    }
};
