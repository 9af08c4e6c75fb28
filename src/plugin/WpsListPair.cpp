#include "WpsListPair.h"

#include "core/Failure.h"
#include "core/LocalFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cctype>
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
    // SHA-256 (hexadecimal) of the text replaced (empty when there was none) and of the new one.
    QByteArray oldSum;
    QByteArray newSum;
};

// Where an interrupted write left one list.
enum class Progress { Pending, Replaced, PutBack, Unknown };

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

QString inDir(const QString &dir, const QString &name)
{
    return dir + QLatin1Char('/') + name;
}

[[noreturn]] void fail(const QString &fileName, int error)
{
    throw LocalFiles::failure(QStringLiteral("写入"), fileName, error);
}

void removeQuietly(const QString &path)
{
    ::unlink(native(path).constData());
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
        text += native(entry.fileName) + '\t' + (entry.existed ? '1' : '0') + '\t' + entry.oldSum + '\t' + entry.newSum
            + '\n';
    const QString journal = inDir(dir, journalName);
    const QString staged = journal + QStringLiteral("-new");
    if (const int error = writeDurably(staged, text, 0644)) {
        removeQuietly(staged);
        return error;
    }
    const int error = LocalFiles::renamePath(staged, journal);
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
        if (LocalFiles::exists(old))
            error = LocalFiles::renamePath(old, inDir(dir, entry.fileName));
        else if (!entry.existed && ::unlink(native(inDir(dir, entry.fileName)).constData()) != 0 && errno != ENOENT)
            error = errno;
        if (error != 0 && firstError == 0)
            firstError = error;
    }
    return firstError;
}

// The lists are a few kilobytes: Qt's hash is quick enough and keeps the helper's links small.
QByteArray sumOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// Empty when the file is missing or cannot be read.
QByteArray fileSum(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? sumOf(file.readAll()) : QByteArray();
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat first = {};
    struct stat second = {};
    return ::lstat(native(a).constData(), &first) == 0 && ::lstat(native(b).constData(), &second) == 0
        && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

Progress progressOf(const QString &dir, const Entry &entry)
{
    const QString target = inDir(dir, entry.fileName);
    const QString old = inDir(dir, oldPrefix + entry.fileName);
    const QByteArray staged = fileSum(inDir(dir, newPrefix + entry.fileName));
    const QByteArray current = fileSum(target);
    if (!staged.isEmpty()) {
        const bool untouched = entry.existed ? sameFile(target, old) && current == entry.oldSum : !LocalFiles::exists(target);
        return staged == entry.newSum && untouched ? Progress::Pending : Progress::Unknown;
    }
    if (current == entry.newSum)
        return Progress::Replaced;
    const bool putBack = entry.existed ? !LocalFiles::exists(old) && current == entry.oldSum : !LocalFiles::exists(target);
    return putBack ? Progress::PutBack : Progress::Unknown;
}

bool isSum(const QByteArray &text)
{
    const auto hexadecimal = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    return text.size() == 64 && std::all_of(text.begin(), text.end(), hexadecimal);
}

// Only the lists' own names: a journal never sends a rename elsewhere.
bool isListName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.startsWith(QLatin1Char('.'));
}

// The journal's lists; `complete` is false when a line is not one this unit writes (its lists are
// then named, for their hidden files to go, but not to be replayed).
QList<Entry> entriesOf(const QList<QByteArray> &lines, bool *complete)
{
    QList<Entry> entries;
    *complete = true;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split('\t');
        const QString name = QFile::decodeName(fields.value(0));
        const bool existed = fields.value(1) == "1";
        if (!isListName(name)) {
            *complete = false;
            continue;
        }
        if (fields.size() != 4 || (existed ? !isSum(fields[2]) : !fields[2].isEmpty()) || !isSum(fields[3]))
            *complete = false;
        entries.append({name, existed, fields.value(2), fields.value(3)});
    }
    return entries;
}

// Every list is where the killed run left it: on its way forward, or also on its way back.
bool replayable(const QString &dir, const QList<Entry> &entries, bool forwards)
{
    return std::all_of(entries.begin(), entries.end(), [&](const Entry &entry) {
        const Progress progress = progressOf(dir, entry);
        return progress == Progress::Pending || progress == Progress::Replaced
            || (!forwards && progress == Progress::PutBack);
    });
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
        entries.append({change.fileName, LocalFiles::exists(inDir(addonDir, change.fileName)), {}, sumOf(change.bytes)});
    removeJournalFiles(addonDir, entries);
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const QString target = inDir(addonDir, changes[i].fileName);
        int error = writeDurably(inDir(addonDir, newPrefix + changes[i].fileName), changes[i].bytes, modeOf(target));
        const QString old = inDir(addonDir, oldPrefix + changes[i].fileName);
        if (error == 0 && entries[i].existed && ::link(native(target).constData(), native(old).constData()) != 0)
            error = errno;
        if (error == 0 && entries[i].existed) {
            entries[i].oldSum = fileSum(old);
            error = entries[i].oldSum.isEmpty() ? EIO : 0;
        }
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
        const int error = LocalFiles::renamePath(inDir(addonDir, newPrefix + entry.fileName), inDir(addonDir, entry.fileName));
        if (error == 0)
            continue;
        // The journal says "back" before anything goes back, so a kill now cannot finish the half.
        if (writeJournal(addonDir, back, entries) == 0 && rollBack(addonDir, entries) == 0)
            removeJournalFiles(addonDir, entries);
        fail(entry.fileName, error);
    }
    removeJournalFiles(addonDir, entries);
}

Recovery recover(const QString &addonDir)
{
    QFile journal(inDir(addonDir, journalName));
    if (!journal.exists())
        return Recovery::NothingPending;
    if (!journal.open(QIODevice::ReadOnly))
        fail(journalName, journal.error() == QFile::PermissionsError ? EACCES : EIO);
    const QList<QByteArray> lines = journal.readAll().split('\n');
    journal.close();
    const bool forwards = lines.value(0) == forward;
    bool complete = false;
    const QList<Entry> entries = entriesOf(lines.mid(1), &complete);
    if (!complete || (!forwards && lines.value(0) != back) || !replayable(addonDir, entries, forwards)) {
        removeJournalFiles(addonDir, entries);
        return Recovery::Abandoned;
    }
    if (forwards) {
        for (const Entry &entry : entries) {
            const QString staged = inDir(addonDir, newPrefix + entry.fileName);
            if (!LocalFiles::exists(staged))
                continue;
            if (const int error = LocalFiles::renamePath(staged, inDir(addonDir, entry.fileName)))
                fail(entry.fileName, error);
        }
    } else if (const int error = rollBack(addonDir, entries)) {
        fail(entries.value(0).fileName, error);
    }
    removeJournalFiles(addonDir, entries);
    return Recovery::Finished;
}

} // namespace WpsListPair
