#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One entry of a ZIP archive's central directory, as the archive states it (nothing is unpacked).
struct ZipEntry
{
    // The name's bytes as stored; their encoding is what the flags and the host say it is.
    QByteArray name;
    quint16 flags = 0;
    quint16 method = 0;
    // The system that wrote the entry ("version made by", high byte): 0 MS-DOS, 3 Unix, 11 NTFS, …
    quint8 hostSystem = 0;
    quint64 uncompressedSize = 0;

    bool isEncrypted() const { return flags & 0x0001; }
    bool hasUtf8Flag() const { return flags & 0x0800; }
};

// The central directory of a ZIP archive, read the way unzip finds it: the last end record within
// the final 64 KiB, ZIP64 records when the end record says so, and bytes before the archive allowed.
namespace ZipDirectory {

struct Listing
{
    // As the end record declares it; it can exceed the entries actually read.
    quint64 declaredEntryCount = 0;
    QList<ZipEntry> entries;
};

// Nothing when the file has no end record (it is no ZIP archive at all). Throws Failure
// (TooManyEntries) when the end record declares more than maxEntries, before reading any entry,
// and Failure (IncompletePackage) when an end record is there but the directory it points at
// cannot be read.
std::optional<Listing> read(const QString &archivePath, quint64 maxEntries);

} // namespace ZipDirectory
