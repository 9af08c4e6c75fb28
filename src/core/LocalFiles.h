#pragma once

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

} // namespace LocalFiles
