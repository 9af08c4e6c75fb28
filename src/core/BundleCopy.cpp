#include "BundleCopy.h"

#include "core/LocalFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcBundleCopy, "corvanta.bundlecopy")

namespace BundleCopy {

namespace {

class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    // Closes now so a failed close (the last write of a network or full disk) is seen.
    int release()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

[[noreturn]] void throwCopyError(const QString &path, int error)
{
    throw LocalFiles::failure(QStringLiteral("复制"), QFileInfo(path).fileName(), error);
}

void copyFile(const QByteArray &from, const QByteArray &to, mode_t mode, const QString &sourcePath)
{
    Fd in(::open(from.constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        throwCopyError(sourcePath, errno);
    // Owner-writable while filling it; the source's own mode is set at the end.
    Fd out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        throwCopyError(sourcePath, errno);
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(in.get(), buffer, sizeof buffer);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throwCopyError(sourcePath, errno);
        }
        if (!LocalFiles::writeAll(out.get(), buffer, count))
            throwCopyError(sourcePath, errno);
    }
    if (::fchmod(out.get(), mode & 07777) != 0 || out.release() != 0)
        throwCopyError(sourcePath, errno);
}

bool existsAsEntry(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

void removeQuietly(const QString &path)
{
    try {
        LocalFiles::removeEntry(path);
    } catch (const Failure &error) {
        qCWarning(lcBundleCopy) << "leftover" << path << error.sentence();
    }
}

[[noreturn]] void throwReplaceError(const QString &target, int error)
{
    throw LocalFiles::failure(QStringLiteral("替换"), QFileInfo(target).fileName(), error);
}

// Copies a file, symbolic link or directory tree to destination, which must not exist yet; links
// as links, never followed. A partial copy is left behind on failure.
void copyTree(const QString &source, const QString &destination)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    struct stat status {};
    if (::lstat(from.constData(), &status) != 0)
        throwCopyError(source, errno);

    if (S_ISLNK(status.st_mode)) {
        QByteArray target(qsizetype(status.st_size) + 1, Qt::Uninitialized);
        const ssize_t length = ::readlink(from.constData(), target.data(), size_t(target.size()));
        if (length < 0)
            throwCopyError(source, errno);
        target.truncate(length);
        if (::symlink(target.constData(), to.constData()) != 0)
            throwCopyError(source, errno);
    } else if (S_ISDIR(status.st_mode)) {
        if (::mkdir(to.constData(), 0700) != 0)
            throwCopyError(source, errno);
        for (const QString &name : LocalFiles::entryNames(source))
            copyTree(source + QLatin1Char('/') + name, destination + QLatin1Char('/') + name);
        // Last, so a read-only folder could still be filled.
        if (::chmod(to.constData(), status.st_mode & 07777) != 0)
            throwCopyError(source, errno);
    } else if (S_ISREG(status.st_mode)) {
        copyFile(from, to, status.st_mode, source);
    } else {
        // Sockets, pipes and devices have no place in a bundle.
        FailureDetails details;
        details.action = QStringLiteral("复制");
        details.path = QFileInfo(source).fileName();
        throw Failure(FailureKind::NotFileOrFolder, std::move(details));
    }
}

} // namespace

void replaceWithCopy(const QString &source, const QString &target)
{
    const QString parent = QFileInfo(QDir::cleanPath(target)).path();
    if (const int error = LocalFiles::createDirectories(parent))
        throw LocalFiles::failure(QStringLiteral("创建文件夹"), parent, error);

    const QString staging = LocalFiles::hiddenSibling(target, QStringLiteral("installing"), QStringLiteral(".app"));
    if (existsAsEntry(staging))
        removeQuietly(staging);
    try {
        copyTree(source, staging);
    } catch (const Failure &) {
        // Nothing at target was touched; a half copy is of no use to anyone.
        removeQuietly(staging);
        throw;
    }
    if (const int error = LocalFiles::moveIntoPlace(staging, target)) {
        removeQuietly(staging);
        throwReplaceError(target, error);
    }
}

} // namespace BundleCopy
