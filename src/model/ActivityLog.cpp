#include "ActivityLog.h"

#include "model/ToolPaths.h"

#include <QDir>
#include <QFile>
#include <QTime>

namespace ActivityLog {

void append(const QString &message)
{
    const QByteArray entry = (QLatin1Char('[') + QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))
                              + QStringLiteral("] ") + message + QLatin1Char('\n'))
                                 .toUtf8();
    QDir().mkpath(ToolPaths::logDir());
    QFile file(ToolPaths::logFile());
    // Append mode seeks to the end before every write, so another process's entries stay whole.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(entry);
    file.close();
}

} // namespace ActivityLog
