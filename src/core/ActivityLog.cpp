#include "ActivityLog.h"

#include "core/ToolPaths.h"

#include <QDir>
#include <QFile>
#include <QTime>

namespace ActivityLog {

QByteArray entry(const QString &message, const QTime &time)
{
    return (QLatin1Char('[') + time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("] ") + message
            + QLatin1Char('\n'))
        .toUtf8();
}

void append(const QString &message)
{
    const QByteArray entry = ActivityLog::entry(message, QTime::currentTime());
    QDir().mkpath(ToolPaths::logDir());
    QFile file(ToolPaths::logFile());
    // Append mode creates a missing file and seeks to the end at the write itself, so the installer
    // copy writing the same file cannot interleave; unbuffered, so the entry is one write.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    file.write(entry);
    file.close();
}

void create()
{
    QDir().mkpath(ToolPaths::logDir());
    QFile file(ToolPaths::logFile());
    file.open(QIODevice::WriteOnly | QIODevice::Append);
}

} // namespace ActivityLog
