#include "ZipDirectory.h"

#include "core/Failure.h"

#include <QFile>

#include <algorithm>

namespace ZipDirectory {

namespace {

constexpr quint32 endSignature = 0x06054b50;
constexpr quint32 zip64EndSignature = 0x06064b50;
constexpr quint32 zip64LocatorSignature = 0x07064b50;
constexpr quint32 entrySignature = 0x02014b50;
constexpr qint64 endRecordSize = 22;
constexpr qint64 zip64LocatorSize = 20;
constexpr qint64 zip64EndSize = 56;
constexpr qint64 entryHeaderSize = 46;
constexpr qint64 longestComment = 0xffff;

// Little-endian reads that never run past the mapped bytes (the caller checks the range first).
class Bytes
{
public:
    Bytes(const uchar *data, qint64 size)
        : m_data(data)
        , m_size(size)
    {
    }
    qint64 size() const { return m_size; }
    bool holds(qint64 offset, qint64 length) const { return offset >= 0 && length >= 0 && offset <= m_size - length; }
    quint64 read(qint64 offset, int width) const
    {
        quint64 value = 0;
        for (int i = width - 1; i >= 0; --i)
            value = (value << 8) | m_data[offset + i];
        return value;
    }
    quint16 u16(qint64 offset) const { return quint16(read(offset, 2)); }
    quint32 u32(qint64 offset) const { return quint32(read(offset, 4)); }
    quint64 u64(qint64 offset) const { return read(offset, 8); }
    QByteArray slice(qint64 offset, qint64 length) const
    {
        return QByteArray(reinterpret_cast<const char *>(m_data + offset), length);
    }

private:
    const uchar *m_data;
    qint64 m_size;
};

[[noreturn]] void unreadable()
{
    throw Failure(FailureKind::IncompletePackage);
}

// The last end record whose comment fits before the end of the file, as unzip takes it.
qint64 findEndRecord(const Bytes &bytes)
{
    const qint64 earliest = std::max<qint64>(0, bytes.size() - endRecordSize - longestComment);
    for (qint64 at = bytes.size() - endRecordSize; at >= earliest; --at) {
        if (bytes.u32(at) == endSignature && at + endRecordSize + bytes.u16(at + 20) <= bytes.size())
            return at;
    }
    return -1;
}

struct DirectoryPlace
{
    quint64 entryCount = 0;
    quint64 size = 0;
    quint64 offset = 0;
    // Where the record that declared them starts: the directory ends right before it.
    qint64 recordStart = 0;
};

DirectoryPlace locate(const Bytes &bytes, qint64 end)
{
    DirectoryPlace place{bytes.u16(end + 10), bytes.u32(end + 12), bytes.u32(end + 16), end};
    const qint64 locator = end - zip64LocatorSize;
    if (!bytes.holds(locator, zip64LocatorSize) || bytes.u32(locator) != zip64LocatorSignature)
        return place;
    // The ZIP64 end record sits where the locator says, or (with bytes before the archive) right
    // before the locator.
    qint64 record = qint64(bytes.u64(locator + 8));
    if (!bytes.holds(record, zip64EndSize) || bytes.u32(record) != zip64EndSignature)
        record = locator - zip64EndSize;
    if (!bytes.holds(record, zip64EndSize) || bytes.u32(record) != zip64EndSignature)
        unreadable();
    return {bytes.u64(record + 32), bytes.u64(record + 40), bytes.u64(record + 48), record};
}

// The ZIP64 extra field carries, in this order, each size or offset whose ordinary field is full.
quint64 zip64UncompressedSize(const Bytes &bytes, qint64 extra, qint64 extraLength, quint32 uncompressed)
{
    if (uncompressed != 0xffffffffu)
        return uncompressed;
    for (qint64 at = extra; at + 4 <= extra + extraLength;) {
        const quint16 id = bytes.u16(at), length = bytes.u16(at + 2);
        if (at + 4 + length > extra + extraLength)
            break;
        if (id == 0x0001 && length >= 8)
            return bytes.u64(at + 4);
        at += 4 + length;
    }
    return uncompressed;
}

} // namespace

std::optional<Listing> read(const QString &archivePath, quint64 maxEntries)
{
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly) || file.size() < endRecordSize)
        return std::nullopt;
    const uchar *mapped = file.map(0, file.size());
    if (!mapped)
        return std::nullopt;
    const Bytes bytes(mapped, file.size());
    const qint64 end = findEndRecord(bytes);
    if (end < 0)
        return std::nullopt;

    const DirectoryPlace place = locate(bytes, end);
    if (place.entryCount > maxEntries)
        throw Failure(FailureKind::TooManyEntries);
    if (place.size > quint64(place.recordStart))
        unreadable();
    // With bytes before the archive every stated offset is short by their number; the directory
    // still ends where the end record begins.
    qint64 start = qint64(place.offset);
    if (!bytes.holds(start, entryHeaderSize) || bytes.u32(start) != entrySignature)
        start = place.recordStart - qint64(place.size);
    const qint64 stop = start + qint64(place.size);

    Listing listing;
    listing.declaredEntryCount = place.entryCount;
    for (qint64 at = start; at < stop;) {
        if (!bytes.holds(at, entryHeaderSize) || bytes.u32(at) != entrySignature)
            unreadable();
        if (quint64(listing.entries.size()) >= maxEntries)
            throw Failure(FailureKind::TooManyEntries);
        const qint64 nameLength = bytes.u16(at + 28), extraLength = bytes.u16(at + 30),
                     commentLength = bytes.u16(at + 32);
        const qint64 name = at + entryHeaderSize, extra = name + nameLength;
        if (!bytes.holds(name, nameLength + extraLength + commentLength))
            unreadable();
        ZipEntry entry;
        entry.hostSystem = quint8(bytes.u16(at + 4) >> 8);
        entry.flags = bytes.u16(at + 8);
        entry.method = bytes.u16(at + 10);
        entry.uncompressedSize = zip64UncompressedSize(bytes, extra, extraLength, bytes.u32(at + 24));
        entry.name = bytes.slice(name, nameLength);
        listing.entries.append(entry);
        at = extra + extraLength + commentLength;
    }
    return listing;
}

} // namespace ZipDirectory
