// Times a whole command-line install ("CorvantaManagementTool install": release, download, check,
// unpacking, installer into WPS's folder) of a large archive from the stand-in, and sets it
// against curl, sha256sum, unzip and cp -a in one shell and against the local floor (unzip and
// cp -a of the archive on disk). The stand-in listens where the tool was built to look, so run it
// in a network of its own (scripts/bench-install does). Prints figures; asserts nothing.
#include "BuildConfig.h"
#include "core/ToolPaths.h"
#include "plugin/AccountCredentialStore.h"
#include "service/ClientAuthAPI.h"

#include "BenchRun.h"
#include "ShellBaseline.h"
#include "StandinService.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int padMb = args.size() > 1 ? args.at(1).toInt() : 64;
    const QString workDir = args.size() > 2 ? args.at(2) : QDir::tempPath() + QStringLiteral("/bench-install");
    const QString runDir = BenchRun::start(workDir);
    if (runDir.isEmpty())
        return BenchRun::fail(QStringLiteral("cannot create a run folder below ") + workDir);

    const QUrl serviceUrl(QString::fromLatin1(BuildConfig::serviceBaseUrl));
    StandinService service({QStringLiteral("--port"), QString::number(serviceUrl.port()), QStringLiteral("--pad-mb"),
                            QString::number(padMb)});
    if (!service.isRunning())
        return BenchRun::fail(QStringLiteral("stand-in did not start: ") + service.errorOutput());
    QCoro::waitFor(AccountCredentialStore().storeCredential(StandinService::validCredential));

    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer wall;
    wall.start();
    tool.start(QStringLiteral(TOOL_EXECUTABLE), {QStringLiteral("install")});
    tool.waitForFinished(-1);
    const qint64 toolMs = wall.elapsed();
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return BenchRun::fail(QStringLiteral("install failed: ") + QString::fromUtf8(tool.readAll()));

    const PluginRelease release =
        QCoro::waitFor(ClientAuthAPI(service.baseUrl()).downloadToken(StandinService::validCredential, QStringLiteral("macos"), {}));
    const QString archive = ToolPaths::pluginPackageDownloadDir() + QLatin1Char('/') + release.fileName.value_or(QString());
    const ShellBaseline baseline =
        ShellBaseline::measure(release.downloadURL->toString(), archive, runDir + QStringLiteral("/shell"));
    std::printf("archive: %.1f MiB (--pad-mb %d), run dir %s\n", double(QFileInfo(archive).size()) / (1024 * 1024), padMb,
                qPrintable(runDir));
    std::printf("command-line install:              %lld ms\n", static_cast<long long>(toolMs));
    baseline.print("command-line install", toolMs);
    return 0;
}
