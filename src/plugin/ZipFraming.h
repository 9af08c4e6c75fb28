#pragma once

#include <QString>

// Where a ZIP archive ends: readers that look for its end record in different places see different
// entries, so only an archive that ends in exactly one way is unpacked.
namespace ZipFraming {

// Throws Failure (AmbiguousArchive) when the final 64 KiB hold more than one end record, or the one
// there is followed by anything but its own comment. A file with no end record at all is left to
// the reader, which refuses it.
void requireSingleEnding(const QString &archivePath);

} // namespace ZipFraming
