#include "PackageUnpacker.h"

#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "core/ProcessRunner.h"
#include "plugin/LibarchiveFunctions.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <clocale>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// libarchive converts a name marked as UTF-8 into the thread's character set and keeps an unmarked
// one as stored: under UTF-8 both arrive as their bytes, whatever locale the process runs in.
class Utf8Names
{
public:
    Utf8Names()
        : m_locale(::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr)))
    {
        if (m_locale)
            m_previous = ::uselocale(m_locale);
    }
    ~Utf8Names()
    {
        if (!m_locale)
            return;
        ::uselocale(m_previous);
        ::freelocale(m_locale);
    }
    Utf8Names(const Utf8Names &) = delete;
    Utf8Names &operator=(const Utf8Names &) = delete;

private:
    locale_t m_locale;
    locale_t m_previous = LC_GLOBAL_LOCALE;
};

// The reader of the central directory, found through the archive's one end record.
class Reader
{
public:
    explicit Reader(const QString &path)
        : m_archive(libarchive().readNew())
    {
        libarchive().supportZipSeekable(m_archive);
        if (libarchive().openFile(m_archive, QFile::encodeName(path).constData(), 64 * 1024) != ARCHIVE_OK) {
            libarchive().readFree(m_archive);
            throw Failure(FailureKind::IncompletePackage);
        }
    }
    ~Reader() { libarchive().readFree(m_archive); }
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    // The next entry, or null at the end; a header that cannot be read ends the archive as damaged.
    archive_entry *next(const std::function<void(const QString &)> &log = {})
    {
        archive_entry *entry = nullptr;
        const int status = libarchive().nextHeader(m_archive, &entry);
        if (status == ARCHIVE_EOF)
            return nullptr;
        if (status == ARCHIVE_WARN && log)
            log(QString::fromUtf8(libarchive().errorString(m_archive)).trimmed());
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            throw Failure(FailureKind::IncompletePackage);
        return entry;
    }
    archive *get() const { return m_archive; }

private:
    archive *m_archive;
};

// On the stored bytes; a backslash counts as a separator, as Windows names use it.
bool escapesDirectory(const QByteArray &name)
{
    if (name.startsWith('/') || name.startsWith('\\'))
        return true;
    QByteArray unified = name;
    unified.replace('\\', '/');
    return unified.split('/').contains(QByteArrayLiteral(".."));
}

bool isAscii(const QByteArray &bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; });
}

// "a//b/./c/" and "a/b/c" are one file.
QByteArray normalized(const QByteArray &name)
{
    QByteArrayList parts = name.split('/');
    parts.removeAll(QByteArray());
    parts.removeAll(QByteArrayLiteral("."));
    return parts.join('/');
}

// Stored, deflated and bzip2, as zip tools write packages; libarchive's other decoders stay out of
// reach of a downloaded file.
bool readsMethod(const char *formatName)
{
    const QByteArray name(formatName ? formatName : "");
    return name.endsWith("(uncompressed)") || name.endsWith("(deflation)") || name.endsWith("(bzip)");
}

} // namespace

PackageUnpacker::PackageUnpacker(QString archivePath, QString destination, QString diskFolder)
    : m_archivePath(std::move(archivePath))
    , m_destination(std::move(destination))
    , m_diskFolder(std::move(diskFolder))
{
}

std::pair<quint64, quint64> PackageUnpacker::declaredEntriesAndBytes(quint64 maxEntries) const
{
    Reader reader(m_archivePath);
    quint64 entries = 0, bytes = 0;
    try {
        while (archive_entry *entry = reader.next()) {
            if (++entries > maxEntries)
                throw Failure(FailureKind::TooManyEntries);
            // Bounded so that no count of entries can wrap the sum.
            if (libarchive().entrySizeIsSet(entry))
                bytes += std::min<quint64>(quint64(std::max<la_int64_t>(0, libarchive().entrySize(entry))), 1ull << 48);
        }
    } catch (const Failure &failure) {
        // A damaged header is for the unpacking to refuse, at its entry.
        if (failure.kind() != FailureKind::IncompletePackage)
            throw;
    }
    return {entries, bytes};
}

void PackageUnpacker::unpack(quint64 maxEntries, quint64 maxBytes, const std::function<void(const QString &)> &log)
{
    const Utf8Names utf8;
    Reader reader(m_archivePath);
    while (archive_entry *entry = reader.next(log)) {
        const QByteArray name = checkedName(reader.get(), entry, maxEntries);
        switch (libarchive().entryFileType(entry)) {
        case AE_IFDIR:
            if (const int error = LocalFiles::createDirectories(QFile::decodeName(onDisk(name))))
                writeFailed(QStringLiteral("创建目录"), name, error);
            break;
        case AE_IFLNK:
            m_links.append({name, QByteArray(libarchive().entryLinkTarget(entry))});
            break;
        default:
            // Devices, FIFOs and sockets are never made: whatever the entry claims, it is a file.
            writeFile(reader.get(), entry, name, maxBytes);
        }
    }
    makeLinks();
}

QByteArray PackageUnpacker::checkedName(archive *reader, archive_entry *entry, quint64 maxEntries)
{
    if (quint64(m_names.size()) >= maxEntries)
        throw Failure(FailureKind::TooManyEntries);
    const char *stored = libarchive().entryPath(entry);
    if (!stored)
        throw Failure(FailureKind::UnreadableNames);
    const QByteArray raw(stored);
    const QByteArray name = normalized(raw);
    if (escapesDirectory(raw) || name.isEmpty())
        throw Failure(FailureKind::UnsafeArchive);
    if (!isAscii(raw) && ProcessRunner::decodeUtf8OrEmpty(raw).isEmpty())
        throw Failure(FailureKind::UnreadableNames);
    if (m_names.contains(name)) {
        FailureDetails details;
        details.path = QString::fromUtf8(name);
        throw Failure(FailureKind::DuplicateEntry, details);
    }
    m_names.insert(name);
    if (libarchive().entryIsEncrypted(entry))
        throw Failure(FailureKind::EncryptedPackage);
    if (!readsMethod(libarchive().formatName(reader)))
        throw Failure(FailureKind::UnsupportedCompression);
    return name;
}

void PackageUnpacker::writeFile(archive *reader, archive_entry *entry, const QByteArray &name, quint64 maxBytes)
{
    // 0755 or 0644 as the archive says, never more: no setuid, setgid or writable by others.
    const mode_t mode = (libarchive().entryPermissions(entry) & 0111) ? 0755 : 0644;
    makeParents(name);
    const int fd = ::open(onDisk(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        writeFailed(QStringLiteral("创建"), name, errno);
    try {
        if (::fchmod(fd, mode) != 0)
            writeFailed(QStringLiteral("设置权限"), name, errno);
        // A size the archive leaves out or gives as negative allows nothing.
        const qint64 declared = libarchive().entrySizeIsSet(entry) ? std::max<qint64>(0, libarchive().entrySize(entry)) : 0;
        writeBlocks(reader, fd, name, declared, maxBytes);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0)
        writeFailed(QStringLiteral("写入"), name, errno);
}

void PackageUnpacker::writeBlocks(archive *reader, int fd, const QByteArray &name, qint64 declared, quint64 maxBytes)
{
    qint64 entryBytes = 0;
    for (;;) {
        const void *block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = libarchive().dataBlock(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return;
        // Damaged data, a checksum that does not match, a method the reader lacks.
        if (status != ARCHIVE_OK)
            throw Failure(FailureKind::IncompletePackage);
        // Counted before a byte of the block lands: the sizes an archive declares can lie.
        entryBytes += qint64(size);
        m_written += size;
        if (entryBytes > declared) {
            FailureDetails details;
            details.path = QString::fromUtf8(name);
            throw Failure(FailureKind::EntryLargerThanDeclared, details);
        }
        if (m_written > maxBytes)
            throw Failure(FailureKind::PackageTooLarge);
        if (!LocalFiles::writeAll(fd, static_cast<const char *>(block), qsizetype(size)))
            writeFailed(QStringLiteral("写入"), name, errno);
    }
}

void PackageUnpacker::makeParents(const QByteArray &name) const
{
    const qsizetype slash = name.lastIndexOf('/');
    if (slash <= 0)
        return;
    if (const int error = LocalFiles::createDirectories(QFile::decodeName(onDisk(name.left(slash)))))
        writeFailed(QStringLiteral("创建目录"), name.left(slash), error);
}

// After every file: a name that something was already written below cannot become a link, and no
// link is made below another, through it.
void PackageUnpacker::makeLinks() const
{
    QSet<QByteArray> paths;
    for (const Link &link : m_links)
        paths.insert(link.path);
    for (const Link &link : m_links) {
        for (qsizetype slash = link.path.indexOf('/'); slash > 0; slash = link.path.indexOf('/', slash + 1)) {
            if (paths.contains(link.path.left(slash)))
                throw Failure(FailureKind::UnsafeLink);
        }
        if (link.target.isEmpty())
            throw Failure(FailureKind::UnsafeLink);
        makeParents(link.path);
        if (::symlink(link.target.constData(), onDisk(link.path).constData()) != 0) {
            if (errno == EEXIST)
                throw Failure(FailureKind::UnsafeLink);
            writeFailed(QStringLiteral("创建链接"), link.path, errno);
        }
    }
}

QByteArray PackageUnpacker::onDisk(const QByteArray &name) const
{
    return QFile::encodeName(m_destination) + '/' + name;
}

void PackageUnpacker::writeFailed(const QString &action, const QByteArray &name, int error) const
{
    if (LocalFiles::isDiskFull(error)) {
        FailureDetails details;
        details.path = m_diskFolder;
        throw Failure(FailureKind::DiskFull, details);
    }
    // The archive's own shape: a file where a folder must go, a name the system cannot hold.
    if (error == EEXIST || error == ENOTDIR || error == EISDIR || error == ELOOP || error == ENAMETOOLONG)
        throw Failure(FailureKind::IncompletePackage);
    throw LocalFiles::failure(action, QString::fromUtf8(name), error);
}
