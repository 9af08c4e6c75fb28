#include "ProcessMemory.h"

#include <QByteArrayList>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <malloc.h>
#include <sys/mman.h>
#endif

namespace ProcessMemory {

#ifdef Q_OS_LINUX

namespace {

struct Mapping
{
    quintptr start = 0;
    quintptr end = 0;
    bool writable = false;
    QByteArray path;
    qint64 anonymousKiB = -1;
};

// "start-end perms offset dev inode [path]", the path possibly with spaces; the key lines that
// follow a mapping ("Rss:  4 kB") do not parse as one.
bool parseHeader(const QByteArray &line, Mapping &mapping)
{
    const QByteArrayList fields = line.simplified().split(' ');
    if (fields.size() < 5 || fields.at(1).size() != 4)
        return false;
    const QByteArrayList range = fields.at(0).split('-');
    if (range.size() != 2)
        return false;
    bool startOk = false, endOk = false;
    mapping = Mapping{range.at(0).toULongLong(&startOk, 16), range.at(1).toULongLong(&endOk, 16),
                      fields.at(1).contains('w'), fields.mid(5).join(' '), -1};
    return startOk && endOk;
}

bool matches(const QByteArray &path, const QStringList &prefixes)
{
    if (!path.startsWith('/'))
        return false;
    const QString name = QFileInfo(QString::fromLocal8Bit(path)).fileName();
    for (const QString &prefix : prefixes) {
        if (name.startsWith(prefix))
            return true;
    }
    return false;
}

// Only a read-only view of a file in which no page became the process's own copy: dropping such a
// view's pages loses nothing, the next access reads them from the file again.
qint64 release(const Mapping &mapping, const QStringList &prefixes)
{
    if (mapping.writable || mapping.anonymousKiB != 0 || !matches(mapping.path, prefixes))
        return 0;
    const auto length = mapping.end - mapping.start;
    if (madvise(reinterpret_cast<void *>(mapping.start), length, MADV_DONTNEED) != 0)
        return 0;
    return qint64(length);
}

} // namespace

qint64 releaseLibraryPages(const QStringList &fileNamePrefixes)
{
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly))
        return 0;
    // Read whole before acting: releasing does not change the list, but reading it while it changes
    // would be a race with the engine's threads mapping memory.
    const QByteArrayList lines = smaps.readAll().split('\n');
    qint64 released = 0;
    Mapping mapping;
    bool inMapping = false;
    for (const QByteArray &line : lines) {
        if (line.startsWith("Anonymous:")) {
            if (inMapping)
                mapping.anonymousKiB = line.mid(10).trimmed().split(' ').value(0).toLongLong();
            continue;
        }
        Mapping next;
        if (!parseHeader(line, next))
            continue;
        if (inMapping)
            released += release(mapping, fileNamePrefixes);
        mapping = next;
        inMapping = true;
    }
    if (inMapping)
        released += release(mapping, fileNamePrefixes);
    return released;
}

void returnFreedHeap()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

#else

qint64 releaseLibraryPages(const QStringList &)
{
    return 0;
}

void returnFreedHeap() {}

#endif

} // namespace ProcessMemory
