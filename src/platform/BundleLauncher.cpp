#include "BundleLauncher.h"

#include "core/Failure.h"
#include "core/ProcessRunner.h"
#include "platform/AppBundle.h"

#include <QLoggingCategory>
#include <QProcess>

Q_LOGGING_CATEGORY(lcBundleLauncher, "corvanta.bundlelauncher")

namespace BundleLauncher {

int open(const QString &bundlePath)
{
#ifdef Q_OS_MACOS
    const QString opener = QStringLiteral("/usr/bin/open");
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(opener, {bundlePath});
    if (!process.waitForStarted(-1)) {
        FailureDetails details;
        details.path = opener;
        details.output = ProcessRunner::launchFailureReason(opener);
        throw Failure(FailureKind::BundleOpenFailed, std::move(details));
    }
    process.waitForFinished(-1);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
#else
    const AppBundle bundle(bundlePath);
    const QVariant executable = bundle.infoValue(QStringLiteral("CFBundleExecutable"));
    if (executable.typeId() != QMetaType::QString || executable.toString().isEmpty()) {
        qCWarning(lcBundleLauncher) << "no CFBundleExecutable in" << bundlePath;
        return 1;
    }
    const QString program = bundle.path() + QStringLiteral("/Contents/MacOS/") + executable.toString();
    // The opened application belongs to the desktop, not to us: detached, at the root like open.
    if (!QProcess::startDetached(program, {}, QStringLiteral("/"))) {
        qCWarning(lcBundleLauncher) << "could not start" << program;
        return 1;
    }
    return 0;
#endif
}

} // namespace BundleLauncher
