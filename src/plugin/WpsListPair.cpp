#include "WpsListPair.h"

#include "core/Failure.h"
#include "core/LocalFiles.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace WpsListPair {

namespace {

// Hidden names of our own (see WpsAddonEdits::leftoverPrefix), fixed so a later run finds them.
const QString journalName = QStringLiteral(".corvanta-lists-journal");
const QString newPrefix = QStringLiteral(".corvanta-lists-new-");
const QString oldPrefix = QStringLiteral(".corvanta-lists-old-");
const QByteArray forward = "forward";
const QByteArray back = "back";

struct Entry
{
    QString fileName;
    bool existed = false;
};

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

QString inDir(const QString &dir, const QString &name)
{
    return dir + QLatin1Char('/') + name;
}

bool exists(const QString &path)
{
    struct stat info = {};
    return ::lstat(native(path).constData(), &info) == 0;
}

[[noreturn]] void fail(const QString &fileName, int error)
{
    throw LocalFiles::failure(QStringLiteral("写入"), fileName, error);
}

void removeQuietly(const QString &path)
{
    ::unlink(native(path).constData());
}

int renamePath(const QString &from, const QString &to)
{
    return std::rename(native(from).constData(), native(to).constData()) == 0 ? 0 : errno;
}

// The bytes on disk, flushed, with `mode`; 0 or errno.
int writeDurably(const QString &path, const QByteArray &bytes, mode_t mode)
{
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return errno;
    int error = ::fchmod(fd, mode) == 0 && LocalFiles::writeAll(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0
        ? 0
        : (errno != 0 ? errno : EIO);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

void syncDirectory(const QString &dir)
{
    const int fd = ::open(native(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Replaced through a hidden file and a rename, so a reader finds either journal, never half of one.
int writeJournal(const QString &dir, const QByteArray &state, const QList<Entry> &entries)
{
    QByteArray text = state + '\n';
    for (const Entry &entry : entries)
        text += native(entry.fileName) + '\t' + (entry.existed ? '1' : '0') + '\n';
    const QString journal = inDir(dir, journalName);
    const QString staged = journal + QStringLiteral("-new");
    if (const int error = writeDurably(staged, text, 0644)) {
        removeQuietly(staged);
        return error;
    }
    const int error = renamePath(staged, journal);
    syncDirectory(dir);
    return error;
}

void removeJournalFiles(const QString &dir, const QList<Entry> &entries)
{
    for (const Entry &entry : entries) {
        removeQuietly(inDir(dir, newPrefix + entry.fileName));
        removeQuietly(inDir(dir, oldPrefix + entry.fileName));
    }
    removeQuietly(inDir(dir, journalName));
    syncDirectory(dir);
}

// Each file that had been replaced gets its old text back (one that did not exist goes again).
int rollBack(const QString &dir, const QList<Entry> &entries)
{
    int firstError = 0;
    for (const Entry &entry : entries) {
        const QString old = inDir(dir, oldPrefix + entry.fileName);
        int error = 0;
        if (exists(old))
            error = renamePath(old, inDir(dir, entry.fileName));
        else if (!entry.existed && ::unlink(native(inDir(dir, entry.fileName)).constData()) != 0 && errno != ENOENT)
            error = errno;
        if (error != 0 && firstError == 0)
            firstError = error;
    }
    return firstError;
}

mode_t modeOf(const QString &path)
{
    struct stat info = {};
    return ::stat(native(path).constData(), &info) == 0 ? (info.st_mode & 07777) : mode_t(0644);
}

} // namespace

void write(const QString &addonDir, const QList<Change> &changes)
{
    recover(addonDir);
    if (changes.isEmpty())
        return;
    QList<Entry> entries;
    for (const Change &change : changes)
        entries.append({change.fileName, exists(inDir(addonDir, change.fileName))});
    removeJournalFiles(addonDir, entries);
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const QString target = inDir(addonDir, changes[i].fileName);
        int error = writeDurably(inDir(addonDir, newPrefix + changes[i].fileName), changes[i].bytes, modeOf(target));
        if (error == 0 && entries[i].existed
            && ::link(native(target).constData(), native(inDir(addonDir, oldPrefix + changes[i].fileName)).constData()) != 0)
            error = errno;
        if (error != 0) {
            removeJournalFiles(addonDir, entries);
            fail(changes[i].fileName, error);
        }
    }
    if (const int error = writeJournal(addonDir, forward, entries)) {
        removeJournalFiles(addonDir, entries);
        fail(changes.value(0).fileName, error);
    }
    for (const Entry &entry : entries) {
        const int error = renamePath(inDir(addonDir, newPrefix + entry.fileName), inDir(addonDir, entry.fileName));
        if (error == 0)
            continue;
        // The journal says "back" before anything goes back, so a kill now cannot finish the half.
        if (writeJournal(addonDir, back, entries) == 0 && rollBack(addonDir, entries) == 0)
            removeJournalFiles(addonDir, entries);
        fail(entry.fileName, error);
    }
    removeJournalFiles(addonDir, entries);
}

void recover(const QString &addonDir)
{
    QFile journal(inDir(addonDir, journalName));
    if (!journal.exists())
        return;
    if (!journal.open(QIODevice::ReadOnly))
        fail(journalName, journal.error() == QFile::PermissionsError ? EACCES : EIO);
    const QList<QByteArray> lines = journal.readAll().split('\n');
    journal.close();
    QList<Entry> entries;
    for (const QByteArray &line : lines.mid(1)) {
        const QList<QByteArray> fields = line.split('\t');
        // Only the lists' own names: a journal never sends a rename elsewhere.
        const QString name = QFile::decodeName(fields.value(0));
        if (fields.size() == 2 && !name.contains(QLatin1Char('/')) && !name.startsWith(QLatin1Char('.')))
            entries.append({name, fields.value(1) == "1"});
    }
    if (lines.value(0) == forward) {
        for (const Entry &entry : entries) {
            const QString staged = inDir(addonDir, newPrefix + entry.fileName);
            if (!exists(staged))
                continue;
            if (const int error = renamePath(staged, inDir(addonDir, entry.fileName)))
                fail(entry.fileName, error);
        }
    } else if (const int error = rollBack(addonDir, entries)) {
        fail(entries.value(0).fileName, error);
    }
    removeJournalFiles(addonDir, entries);
}

} // namespace WpsListPair
