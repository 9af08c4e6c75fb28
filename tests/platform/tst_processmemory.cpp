#include "platform/ProcessMemory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mman.h>

namespace {

constexpr qsizetype mappedSize = 2 * 1024 * 1024;

// The resident size of the process's view that starts at the address, from the kernel's account.
qint64 residentKiB(const void *address)
{
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray start = QByteArray::number(quintptr(address), 16) + '-';
    bool inView = false;
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        if (line.startsWith(start))
            inView = true;
        else if (inView && line.startsWith("Rss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

class tst_ProcessMemory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void releasesOnlyUnchangedLibraryPages_data();
    void releasesOnlyUnchangedLibraryPages();
};

void tst_ProcessMemory::releasesOnlyUnchangedLibraryPages_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("changedBeforeReadOnly");
    QTest::addColumn<bool>("released");

    QTest::newRow("code of a named library") << "libCorvantaProbe.so.6" << false << true;
    // As the dynamic linker leaves relocated data: written, then made read-only. Dropping those pages
    // would bring back the file's bytes under the program's feet.
    QTest::newRow("relocated data of a named library") << "libCorvantaProbe.so.6" << true << false;
    QTest::newRow("another library") << "libOther.so.6" << false << false;
}

void tst_ProcessMemory::releasesOnlyUnchangedLibraryPages()
{
    QFETCH(QString, fileName);
    QFETCH(bool, changedBeforeReadOnly);
    QFETCH(bool, released);

    // In a folder named like the tool's bundle: paths in the kernel's list may hold spaces.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Corvanta 管理工具.app")));
    QFile file(dir.filePath(QStringLiteral("Corvanta 管理工具.app/") + fileName));
    QByteArray content(mappedSize, '\0');
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = char(i * 7 % 251);
    QVERIFY(file.open(QIODevice::ReadWrite) && file.write(content) == content.size() && file.flush());

    auto *view = static_cast<char *>(mmap(nullptr, mappedSize, PROT_READ | PROT_WRITE, MAP_PRIVATE, file.handle(), 0));
    QVERIFY(view != MAP_FAILED);
    auto unmap = qScopeGuard([view] { munmap(view, mappedSize); });
    if (changedBeforeReadOnly) {
        for (qsizetype i = 0; i < mappedSize; i += 4096)
            view[i] = 'R';
    }
    QCOMPARE(mprotect(view, mappedSize, PROT_READ), 0);
    qint64 sum = 0;
    for (qsizetype i = 0; i < mappedSize; i += 4096)
        sum += view[i];
    QVERIFY(sum != 0);
    QCOMPARE(residentKiB(view), mappedSize / 1024);

    const qint64 releasedBytes = ProcessMemory::releaseLibraryPages({QStringLiteral("libCorvantaProbe")});
    QCOMPARE(releasedBytes >= mappedSize, released);
    QCOMPARE(residentKiB(view), released ? 0 : mappedSize / 1024);
    // Whatever was released comes back unchanged from the file; what the process wrote stays.
    for (qsizetype i = 0; i < mappedSize; i += 4096)
        QCOMPARE(view[i], changedBeforeReadOnly ? 'R' : content.at(i));
}

QTEST_GUILESS_MAIN(tst_ProcessMemory)
#include "tst_processmemory.moc"
