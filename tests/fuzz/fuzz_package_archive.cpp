// Any bytes as a downloaded release archive, unpacked into a scratch cache: refused with a Failure
// or unpacked, and either way nothing left in the cache beside the package.
#include "FuzzCheck.h"

#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "plugin/PackageArchive.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QTemporaryDir scratch;
    const QString archive = scratch.filePath(QStringLiteral("release.zip"));
    const QString cache = scratch.filePath(QStringLiteral("packages"));
    LocalFiles::removeEntry(cache);
    QFile file(archive);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(reinterpret_cast<const char *>(data), qsizetype(size));
    file.close();

    QString unpacked;
    try {
        unpacked = PackageArchive::extractPluginPackage(archive, cache, QStringLiteral("p"));
        FUZZ_CHECK(unpacked == cache + QStringLiteral("/p"));
    } catch (const Failure &) {
    }
    const QStringList left =
        QDir(cache).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    FUZZ_CHECK(left == (unpacked.isEmpty() ? QStringList() : QStringList{QStringLiteral("p")}));
    return 0;
}
