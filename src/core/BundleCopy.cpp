#include "BundleCopy.h"

#include "core/LocalFiles.h"
#include "core/TreeCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcBundleCopy, "corvanta.bundlecopy")

namespace BundleCopy {

namespace {

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

} // namespace

void replaceWithCopy(const QString &source, const QString &target)
{
    const QString parent = QFileInfo(QDir::cleanPath(target)).path();
    if (const int error = LocalFiles::createDirectories(parent))
        throw LocalFiles::failure(QStringLiteral("创建文件夹"), parent, error);

    const QString staging = LocalFiles::hiddenSibling(target, QStringLiteral("installing"), QStringLiteral(".app"));
    if (LocalFiles::exists(staging))
        removeQuietly(staging);
    try {
        TreeCopy::copyTree(source, staging);
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
