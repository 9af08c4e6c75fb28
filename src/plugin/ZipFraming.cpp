#include "ZipFraming.h"

#include "core/Failure.h"

#include <QByteArray>
#include <QFile>

namespace ZipFraming {

namespace {

constexpr qint64 endRecordSize = 22;
// An end record lies within the last record and longest comment of the file.
constexpr qint64 searchedTail = endRecordSize + 0xffff;
const QByteArray endSignature("PK\x05\x06", 4);

quint16 u16At(const QByteArray &bytes, qsizetype at)
{
    return quint16(uchar(bytes.at(at)) | (uchar(bytes.at(at + 1)) << 8));
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
    // A signature inside the comment counts as a second record too: some reader would take it.
    const bool another = last > 0 && tail.lastIndexOf(endSignature, last - 1) >= 0;
    const bool endsAtComment =
        last + endRecordSize <= tail.size() && last + endRecordSize + u16At(tail, last + 20) == tail.size();
    if (another || !endsAtComment)
        throw Failure(FailureKind::AmbiguousArchive);
}

} // namespace ZipFraming
