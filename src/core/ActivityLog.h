#pragma once

#include <QByteArray>
#include <QString>
#include <QTime>

// The append-only activity log under ~/Library/Logs. Best-effort: every failure is swallowed.
namespace ActivityLog {
// One entry "[HH:mm:ss] message\n"; the file is opened, written and closed per entry.
void append(const QString &message);
// The bytes of one entry written at `time`.
QByteArray entry(const QString &message, const QTime &time);
// Makes sure the file exists (empty when nothing was written yet), so it can be opened.
void create();
}
