#pragma once

#include "core/DescribedError.h"

#include <QString>
#include <QStringList>

// Small file-system steps that report failures as complete Chinese sentences (DescribedError).
namespace LocalFiles {

// Names of the folder's entries, hidden ones included, not recursive, in listing order.
QStringList entryNames(const QString &folder);

// Creates the folder with all missing parents (an existing one is fine); 0 or the errno value.
int createDirectories(const QString &path);

// Removes a file, a symbolic link (never its target) or a directory with everything inside it.
void removeEntry(const QString &path);

// The reason for an errno value as a short Chinese phrase, e.g. "没有权限".
QString reasonForErrno(int error);

// "无法<action>“<name>”：<reason>。", e.g. action "删除" and the entry's file name.
DescribedError failure(const QString &action, const QString &name, int error);

// Writes all the bytes, again after an interruption; false with errno set when a write fails.
bool writeAll(int fd, const char *data, qsizetype size);

} // namespace LocalFiles
