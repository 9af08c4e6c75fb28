#include "LocalFiles.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUuid>

#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcLocalFiles, "corvanta.localfiles")

namespace LocalFiles {

namespace {

std::filesystem::path nativePath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

Failure listingError(const QString &folder, int error)
{
    return failure(QStringLiteral("读取文件夹"), folder, error);
}

} // namespace

QString reasonForErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("没有权限");
    case ENOENT:
        return QStringLiteral("项目不存在");
    case ENOTDIR:
        return QStringLiteral("不是文件夹");
    case EISDIR:
        return QStringLiteral("是文件夹");
    case EEXIST:
        return QStringLiteral("项目已存在");
    case EROFS:
        return QStringLiteral("所在磁盘为只读");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("项目正被占用");
    case ENOTEMPTY:
        return QStringLiteral("文件夹不为空");
    case ENOSPC:
        return QStringLiteral("磁盘空间不足");
    case EDQUOT:
        return QStringLiteral("超出磁盘配额");
    case EFBIG:
        return QStringLiteral("文件过大");
    case EIO:
        return QStringLiteral("磁盘读写出错");
    case ENAMETOOLONG:
        return QStringLiteral("文件名或路径过长");
    case ELOOP:
        return QStringLiteral("符号链接层级过多");
    case EXDEV:
        return QStringLiteral("不能跨磁盘移动");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件过多");
    case ENOMEM:
        return QStringLiteral("内存不足");
    case EINTR:
    case EAGAIN:
        return QStringLiteral("操作被中断");
    case EINVAL:
        return QStringLiteral("参数无效");
    default:
        // The C library's text is English; the number still helps whoever reads the log.
        return QStringLiteral("系统错误（错误码 %1）").arg(error);
    }
}

Failure failure(const QString &action, const QString &name, int error)
{
    FailureDetails details;
    details.action = action;
    details.path = name;
    details.errorNumber = error;
    return Failure(FailureKind::FileSystem, std::move(details));
}

QString hiddenSibling(const QString &path, const QString &purpose, const QString &suffix)
{
    const QFileInfo info(QDir::cleanPath(path));
    QString name = info.fileName();
    if (!suffix.isEmpty() && name.endsWith(suffix))
        name.chop(suffix.size());
    return info.path() + QStringLiteral("/.") + name + QLatin1Char('-') + purpose + QLatin1Char('-')
        + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + suffix;
}

bool isDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

bool exists(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

int renamePath(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ? 0 : errno;
}

int moveIntoPlace(const QString &staged, const QString &target)
{
    const QByteArray from = QFile::encodeName(staged);
    const QByteArray to = QFile::encodeName(target);
    struct stat existing {};
    struct stat incoming {};
    const bool targetThere = ::lstat(to.constData(), &existing) == 0;
    const bool folderInvolved = targetThere
        && (S_ISDIR(existing.st_mode) || (::lstat(from.constData(), &incoming) == 0 && S_ISDIR(incoming.st_mode)));
    if (!folderInvolved)
        return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;

    // A rename replaces a folder only when it is empty, and no folder replaces a file: the old entry
    // steps aside in one rename instead of being deleted in place, so a removal that fails halfway
    // never leaves a broken target.
    const QString aside = hiddenSibling(target, QStringLiteral("replaced"));
    const QByteArray asideName = QFile::encodeName(aside);
    if (::rename(to.constData(), asideName.constData()) != 0)
        return errno;
    if (::rename(from.constData(), to.constData()) != 0) {
        const int error = errno;
        ::rename(asideName.constData(), to.constData());
        return error;
    }
    try {
        removeEntry(aside);
    } catch (const Failure &leftover) {
        qCWarning(lcLocalFiles) << "leftover" << aside << leftover.sentence();
    }
    return 0;
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    qsizetype done = 0;
    while (done < size) {
        const ssize_t written = ::write(fd, data + done, size_t(size - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        if (written == 0) {
            errno = EIO;
            return false;
        }
        done += written;
    }
    return true;
}

QStringList entryNames(const QString &folder)
{
    const QByteArray encoded = QFile::encodeName(folder);
    std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(encoded.constData()), &::closedir);
    if (!dir) {
        throw listingError(folder, errno);
    }
    QStringList names;
    errno = 0;
    while (const dirent *entry = ::readdir(dir.get())) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names.append(name);
        errno = 0;
    }
    if (errno != 0) {
        throw listingError(folder, errno);
    }
    return names;
}

int createDirectories(const QString &path)
{
    std::error_code error;
    std::filesystem::create_directories(nativePath(path), error);
    return error.value();
}

void removeEntry(const QString &path)
{
    // remove_all looks at the entry itself, so a link is unlinked and its target left alone.
    std::error_code error;
    std::filesystem::remove_all(nativePath(path), error);
    if (error) {
        throw failure(QStringLiteral("删除"), QFileInfo(path).fileName(), error.value());
    }
}

} // namespace LocalFiles
