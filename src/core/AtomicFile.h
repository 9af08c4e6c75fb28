#pragma once

#include <QByteArray>
#include <QString>

// Replacing a file so that a reader (or a crash at any moment) sees either the old bytes or the
// new ones, never a mixture: the new bytes go to a hidden temporary file beside it, are flushed
// to disk, and the temporary is renamed over the file.
namespace AtomicFile {

// Names of our temporaries start with this, so leftovers of a killed writer can be recognised.
inline constexpr QLatin1StringView temporaryPrefix{".corvanta-tmp-"};

// Keeps the permissions of the file it replaces (0644 for a new file). Throws a FileSystem Failure
// with the file's name and the reason; the file is then left as it was.
void write(const QString &path, const QByteArray &bytes);

} // namespace AtomicFile
