#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <utility>

struct archive;
struct archive_entry;

// One reading of a release archive (libarchive's reader of the central directory) that checks each
// entry as it is handed over and writes it below a folder: what is checked is what is written.
// Every refusal is a Failure of its own kind, thrown at the entry that earns it; what was written up
// to then stays in the folder for the caller to remove.
class PackageUnpacker
{
public:
    // diskFolder is the folder a full disk is reported for.
    PackageUnpacker(QString archivePath, QString destination, QString diskFolder);

    // What the archive declares (entries and unpacked bytes), from its headers alone: an early
    // refusal, never the cap itself. Throws Failure (TooManyEntries) past maxEntries entries.
    std::pair<quint64, quint64> declaredEntriesAndBytes(quint64 maxEntries) const;

    // Writes every entry; links last, so none is written through one. Bytes are counted as they
    // are written, against the entry's declared size and against maxBytes in all. log receives
    // the reader's warnings.
    void unpack(quint64 maxEntries, quint64 maxBytes, const std::function<void(const QString &)> &log);

private:
    struct Link
    {
        QByteArray path;
        QByteArray target;
    };

    QByteArray checkedName(archive *reader, archive_entry *entry, quint64 maxEntries);
    void writeFile(archive *reader, archive_entry *entry, const QByteArray &name, quint64 maxBytes);
    void writeBlocks(archive *reader, int fd, const QByteArray &name, qint64 declared, quint64 maxBytes);
    void makeParents(const QByteArray &name) const;
    void makeLinks() const;
    QByteArray onDisk(const QByteArray &name) const;
    [[noreturn]] void writeFailed(const QString &action, const QByteArray &name, int error) const;

    QString m_archivePath;
    QString m_destination;
    QString m_diskFolder;
    QSet<QByteArray> m_names;
    QList<Link> m_links;
    quint64 m_written = 0;
};
