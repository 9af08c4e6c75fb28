#include "ZipFraming.h"

#include "core/Failure.h"

#include <QByteArray>
#include <QFile>

namespace ZipFraming {

namespace {

constexpr qint64 endRecordSize = 22;
// An end record lies within the last record and longest comment of the file.
constexpr qint64 searchedTail = endRecordSize + 0xffff;
constexpr qint64 zip64LocatorSize = 20;
const QByteArray endSignature("PK\x05\x06", 4);
const QByteArray zip64LocatorSignature("PK\x06\x07", 4);

quint32 uAt(const QByteArray &bytes, qsizetype at, int width)
{
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | uchar(bytes.at(at + i));
    return value;
}

// Where the central directory named by the record at `at` (an offset into `tail`) ends, in the
// archive's own offsets; -1 when the record leaves it to a ZIP64 record.
qint64 directoryEnd(const QByteArray &tail, qsizetype at)
{
    if (at + endRecordSize > tail.size())
        return -1;
    const quint32 size = uAt(tail, at + 12, 4);
    const quint32 offset = uAt(tail, at + 16, 4);
    const bool zip64 = size == 0xffffffffu || offset == 0xffffffffu
        || (at >= zip64LocatorSize && tail.mid(at - zip64LocatorSize, 4) == zip64LocatorSignature);
    return zip64 ? -1 : qint64(offset) + size;
}

} // namespace

void requireSingleEnding(const QString &archivePath)
{
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly) || file.size() < endRecordSize)
        return;
    const qint64 start = std::max<qint64>(0, file.size() - searchedTail);
    if (!file.seek(start))
        return;
    const QByteArray tail = file.readAll();
    const qsizetype last = tail.lastIndexOf(endSignature);
    if (last < 0)
        return;
    const bool endsAtComment =
        last + endRecordSize <= tail.size() && last + endRecordSize + uAt(tail, last + 20, 2) == tail.size();
    if (!endsAtComment)
        throw Failure(FailureKind::AmbiguousArchive);
    // Bytes before the archive (a self-extracting stub) shift every offset it names by as much.
    const qint64 lastEnd = directoryEnd(tail, last);
    const qint64 shift = lastEnd < 0 ? 0 : start + last - lastEnd;
    if (shift < 0)
        throw Failure(FailureKind::AmbiguousArchive);
    // An earlier record is a second ending when its directory is where it says, with or without
    // that shift; the end of a ZIP stored as an entry names offsets within itself, so it is not.
    for (qsizetype at = last > 0 ? tail.lastIndexOf(endSignature, last - 1) : -1; at >= 0;
         at = at > 0 ? tail.lastIndexOf(endSignature, at - 1) : -1) {
        const qint64 end = directoryEnd(tail, at);
        if (end < 0 || end == start + at || end + shift == start + at)
            throw Failure(FailureKind::AmbiguousArchive);
    }
}

} // namespace ZipFraming
