#include "AtomicFile.h"

#include "core/LocalFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

namespace {

[[noreturn]] void fail(const QString &path, int error)
{
    throw LocalFiles::failure(QStringLiteral("写入"), QFileInfo(path).fileName(), error);
}

} // namespace

void write(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    QByteArray temporary = QFile::encodeName(info.absolutePath() + QLatin1Char('/') + temporaryPrefix
                                             + info.fileName() + QStringLiteral("-XXXXXX"));
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        fail(path, errno);

    struct stat existing = {};
    const mode_t mode = ::stat(QFile::encodeName(path).constData(), &existing) == 0 ? (existing.st_mode & 07777)
                                                                                      : mode_t(0644);
    bool ok = ::fchmod(fd, mode) == 0 && LocalFiles::writeAll(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0;
    int error = ok ? 0 : (errno != 0 ? errno : EIO);
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        fail(path, error);
    }
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.constData());
        fail(path, renameError);
    }
}

} // namespace AtomicFile
