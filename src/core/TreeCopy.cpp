#include "TreeCopy.h"

#include "core/LocalFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __APPLE__
#include <sys/clonefile.h>
#else
#include <linux/fs.h>
#endif

namespace TreeCopy {

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

// Errors that only say this way of copying is not available here.
bool unsupported(int error)
{
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP || error == ENOTSUP
        || error == ENOTTY || error == EBADF || error == EPERM;
}

// False when the kernel cannot copy between these two files; the rest then goes by read and write.
bool copyInKernel(int in, int out, const QString &sourcePath)
{
#ifdef __linux__
    for (;;) {
        const ssize_t count = ::copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
        if (count == 0)
            return true;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            if (unsupported(errno))
                return false;
            throwCopyError(sourcePath, errno);
        }
    }
#else
    Q_UNUSED(in)
    Q_UNUSED(out)
    Q_UNUSED(sourcePath)
    return false;
#endif
}

void readAndWrite(int in, int out, const QString &sourcePath)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(in, buffer, sizeof buffer);
        if (count == 0)
            return;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throwCopyError(sourcePath, errno);
        }
        if (!LocalFiles::writeAll(out, buffer, count))
            throwCopyError(sourcePath, errno);
    }
}

// True when the content is shared with the source rather than copied.
bool copyFile(const QByteArray &from, const QByteArray &to, mode_t mode, const QString &sourcePath)
{
#ifdef __APPLE__
    // Links stay links already; clonefile keeps the mode too.
    if (::clonefile(from.constData(), to.constData(), CLONE_NOFOLLOW) == 0)
        return true;
#endif
    Fd in(::open(from.constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        throwCopyError(sourcePath, errno);
    // Owner-writable while filling it; the source's own mode is set at the end.
    Fd out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        throwCopyError(sourcePath, errno);
    bool cloned = false;
#ifdef FICLONE
    cloned = ::ioctl(out.get(), FICLONE, in.get()) == 0;
#endif
    if (!cloned && !copyInKernel(in.get(), out.get(), sourcePath))
        readAndWrite(in.get(), out.get(), sourcePath);
    if (::fchmod(out.get(), mode & 07777) != 0 || out.release() != 0)
        throwCopyError(sourcePath, errno);
    return cloned;
}

void copyEntry(const QString &source, const QString &destination, Counts &counts)
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
            copyEntry(source + QLatin1Char('/') + name, destination + QLatin1Char('/') + name, counts);
        // Last, so a read-only folder could still be filled.
        if (::chmod(to.constData(), status.st_mode & 07777) != 0)
            throwCopyError(source, errno);
    } else if (S_ISREG(status.st_mode)) {
        ++(copyFile(from, to, status.st_mode, source) ? counts.clonedFiles : counts.copiedFiles);
    } else {
        // Sockets, pipes and devices have no place in a bundle or a package.
        FailureDetails details;
        details.action = QStringLiteral("复制");
        details.path = QFileInfo(source).fileName();
        throw Failure(FailureKind::NotFileOrFolder, std::move(details));
    }
}

} // namespace

Counts copyTree(const QString &source, const QString &destination)
{
    Counts counts;
    copyEntry(source, destination, counts);
    return counts;
}

} // namespace TreeCopy
