#pragma once

#include "core/Failure.h"

#include <QString>
#include <QStringList>

// Small file-system steps; their failures are FileSystem failures naming the entry and the reason.
namespace LocalFiles {

// Names of the folder's entries, hidden ones included, not recursive, in listing order.
QStringList entryNames(const QString &folder);

// Whether anything is at the path, a dangling link included.
bool exists(const QString &path);

// One rename; 0 or the errno value.
int renamePath(const QString &from, const QString &to);

// Creates the folder with all missing parents (an existing one is fine); 0 or the errno value.
int createDirectories(const QString &path);

// Removes a file, a symbolic link (never its target) or a directory with everything inside it.
void removeEntry(const QString &path);

// The reason for an errno value as a short Chinese phrase, e.g. "没有权限".
QString reasonForErrno(int error);

// A FileSystem failure: "无法<action>“<name>”：<reason>。", e.g. action "删除" and the entry's file name.
Failure failure(const QString &action, const QString &name, int error);

// Puts `staged` at `target`, in one rename where the system allows it: a file or link at target is
// replaced atomically; a folder there first moves aside to a hidden sibling and is deleted once
// staged is in place (or put back when that fails). The one way the tool moves something into
// place. 0 or the errno value; on failure whatever was at target is still there, and so is staged.
int moveIntoPlace(const QString &staged, const QString &target);

// "<folder>/.<name>-<purpose>-<UUID><suffix>" beside "<folder>/<name><suffix>": a hidden name
// nothing else uses, for a copy on its way in or out.
QString hiddenSibling(const QString &path, const QString &purpose, const QString &suffix = {});

// Whether a write failed for want of space: the disk is full or the user's quota is used up.
bool isDiskFull(int error);

// Writes all the bytes, again after an interruption; false with errno set when a write fails.
bool writeAll(int fd, const char *data, qsizetype size);

} // namespace LocalFiles
