// Times the whole package pipeline on a large archive from the stand-in, and the install of the
// package into WPS's folder after it, and sets both against the same work done by curl,
// sha256sum, unzip and cp -a in one shell, and against the local floor (unzip and cp -a of the
// archive on disk). Prints figures; asserts nothing.
#include "model/AuthToolModel.h"
#include "ModelDownload.h"
#include "core/ToolPaths.h"
#include "plugin/InstallerScriptRun.h"
#include "plugin/PackageArchive.h"

#include "BenchRun.h"
#include "ShellBaseline.h"
#include "StandinService.h"
#include "TaskOutcome.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdio>

namespace {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
qint64 statusKiB(const QByteArray &field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(QByteArray(field + ':')))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// From here on VmHWM reports the peak of what follows, not of start-up.
void resetPeakMemory()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

// The largest gap between ticks of a 5 ms timer on the GUI thread.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setInterval(5);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_clock.restart());
        });
        m_clock.start();
        m_timer.start();
    }
    qint64 longestMs() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

// Bytes of the regular files below dir.
qint64 unpackedBytes(const QString &dir)
{
    QProcess du;
    du.start(QStringLiteral("du"), {QStringLiteral("-sb"), dir});
    du.waitForFinished(-1);
    return du.readAllStandardOutput().split('\t').first().toLongLong();
}

double mibPerSecond(qint64 bytes, qint64 ms)
{
    return ms > 0 ? double(bytes) / (1024 * 1024) / (double(ms) / 1000) : 0.0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int padMb = args.size() > 1 ? args.at(1).toInt() : 64;
    const QString workDir = args.size() > 2 ? args.at(2) : QDir::tempPath() + QStringLiteral("/bench-pipeline");
    const QString runDir = BenchRun::start(workDir);
    if (runDir.isEmpty())
        return BenchRun::fail(QStringLiteral("cannot create a run folder below ") + workDir);

    StandinService service({QStringLiteral("--pad-mb"), QString::number(padMb)});
    if (!service.isRunning())
        return BenchRun::fail(QStringLiteral("stand-in did not start: ") + service.errorOutput());
    AuthToolModel model{ClientAuthAPI(service.baseUrl())};
    QCoro::waitFor(model.credentialStore().storeCredential(StandinService::validCredential));

    const qint64 idleRssKiB = statusKiB("VmRSS");
    resetPeakMemory();
    QElapsedTimer wall;
    StallMeter stalls;
    wall.start();
    const TaskOutcome<CachedPluginPackage> outcome = awaitOutcome(downloadThrough(model));
    const qint64 toolMs = wall.elapsed();
    const qint64 longestStallMs = stalls.longestMs();
    const qint64 peakKiB = statusKiB("VmHWM");
    if (outcome.exception)
        return BenchRun::fail(QStringLiteral("pipeline failed: ") + outcome.description());

    // The package into WPS's folder, as an install goes on after the pipeline.
    wall.restart();
    const TaskOutcome<InstallerScriptRun::Result> installed = awaitOutcome(InstallerScriptRun::run(
        QStringLiteral(TOOL_BUNDLE_DIR "/Contents/Resources"), runDir + QStringLiteral("/Corvanta"), outcome.value->directory));
    const qint64 installMs = wall.elapsed();
    if (installed.exception)
        return BenchRun::fail(QStringLiteral("install failed: ") + installed.description());

    const PluginRelease release =
        QCoro::waitFor(model.apiClient().downloadToken(StandinService::validCredential, QStringLiteral("macos"), {}));
    const QString archivePath =
        ToolPaths::pluginPackageDownloadDir() + QStringLiteral("/") + release.fileName.value_or(QString());
    const qint64 archiveBytes = QFileInfo(archivePath).size();
    const QString shellDir = runDir + QStringLiteral("/shell");
    const ShellBaseline baseline = ShellBaseline::measure(release.downloadURL->toString(), archivePath, shellDir);
    // The unpacking alone, the tool's own against the unzip program, each into a fresh folder.
    wall.restart();
    const QString unpacked =
        PackageArchive::extractPluginPackage(archivePath, runDir + QStringLiteral("/unpack"), QStringLiteral("p"));
    const qint64 unpackMs = wall.elapsed();
    QProcess unzip;
    wall.restart();
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-q"), archivePath, QStringLiteral("-d"),
                                          runDir + QStringLiteral("/unzip")});
    unzip.waitForFinished(-1);
    const qint64 unzipMs = wall.elapsed();
    const qint64 unpackBytes = unpackedBytes(unpacked);

    std::printf("archive: %.1f MiB (--pad-mb %d), run dir %s\n", double(archiveBytes) / (1024 * 1024), padMb,
                qPrintable(runDir));
    std::printf("tool pipeline wall time:           %lld ms\n", static_cast<long long>(toolMs));
    std::printf("installer into WPS's folder:       %lld ms\n", static_cast<long long>(installMs));
    baseline.print("tool pipeline + install", toolMs + installMs);
    std::printf("unpacking %.1f MiB: tool %lld ms (%.0f MiB/s), unzip -q %lld ms (%.0f MiB/s)\n",
                double(unpackBytes) / (1024 * 1024), static_cast<long long>(unpackMs), mibPerSecond(unpackBytes, unpackMs),
                static_cast<long long>(unzipMs), mibPerSecond(unpackBytes, unzipMs));
    std::printf("memory: idle VmRSS %lld KiB, peak VmHWM during run %lld KiB, above idle %lld KiB\n",
                static_cast<long long>(idleRssKiB), static_cast<long long>(peakKiB),
                static_cast<long long>(peakKiB - idleRssKiB));
    std::printf("longest GUI-thread stall (5 ms timer): %lld ms\n", static_cast<long long>(longestStallMs));
    return 0;
}
