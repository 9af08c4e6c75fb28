#include "RunningApplications.h"

#ifndef Q_OS_MACOS

#include "platform/AppBundle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>

#include <csignal>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

QString readLink(const QString &path)
{
    char buffer[4096];
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    if (length <= 0 || length == ssize_t(sizeof buffer))
        return {};
    QString target = QFile::decodeName(QByteArray(buffer, int(length)));
    // An executable replaced or removed since the start still names its old path.
    static const QRegularExpression deleted(QStringLiteral(" \\(deleted\\)$"));
    target.remove(deleted);
    return target;
}

QString bundleDisplayName(const QVariantMap &info)
{
    for (const char *key : {"CFBundleDisplayName", "CFBundleName"}) {
        const QVariant value = info.value(QLatin1String(key));
        if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
            return value.toString();
    }
    return {};
}

char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // "pid (comm) S …": the name may hold spaces and parentheses, the state follows the last ")".
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() ? line.at(close + 2) : 0;
}

// Root sees every user's executables; a copy of the tool that another user (or a job run as
// root beside us) started is not ours to list or signal.
bool isOwnProcess(qint64 pid)
{
    struct stat status;
    return ::stat(QFile::encodeName(QStringLiteral("/proc/%1").arg(pid)).constData(), &status) == 0
        && status.st_uid == ::geteuid();
}

} // namespace

namespace RunningApplications {

QList<RunningApplication> list()
{
    QList<RunningApplication> applications;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || !isOwnProcess(pid))
            continue;
        const QString executable = readLink(QStringLiteral("/proc/%1/exe").arg(pid));
        if (executable.isEmpty())
            continue; // another user's process, or a kernel thread
        RunningApplication application;
        application.pid = pid;
        application.executablePath = executable;
        const AppBundle bundle = AppBundle::containingExecutable(executable);
        if (bundle.isValid()) {
            const QVariantMap info = bundle.infoDictionary();
            application.bundlePath = bundle.path();
            application.bundleIdentifier = AppBundle::identifierIn(info);
            application.localizedName = bundleDisplayName(info);
        }
        if (application.localizedName.isEmpty())
            application.localizedName = QFileInfo(executable).fileName();
        applications.append(application);
    }
    return applications;
}

bool terminate(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), SIGTERM) == 0;
}

bool forceTerminate(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), SIGKILL) == 0;
}

bool isTerminated(qint64 pid)
{
    if (pid <= 0)
        return true;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return true;
    return processState(pid) == 'Z';
}

} // namespace RunningApplications

#endif
