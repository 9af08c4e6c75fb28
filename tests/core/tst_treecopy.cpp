#include "core/TreeCopy.h"

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

// Copies on real file systems: a row with a file system copies on a loop-mounted image of its own,
// in a mount namespace of this thread's own (the copy runs on this thread; the mount never leaves
// the test).
class tst_TreeCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copyTree_data();
    void copyTree();
};

namespace {

// Relative path, mode and content (a link's target) of every entry.
QStringList describe(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile file(info.filePath());
        const QByteArray content = info.isSymLink() ? QDir(info.path()).relativeFilePath(info.symLinkTarget()).toUtf8() : info.isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : "";
        entries.append(info.filePath().mid(root.size()) + ' ' + QString::number(info.permissions(), 16) + ' ' + QString::number(qHash(content)));
    }
    entries.sort();
    return entries;
}

} // namespace

void tst_TreeCopy::copyTree_data()
{
    QTest::addColumn<QString>("fileSystem"); // empty: the scratch folder's own
    QTest::addColumn<bool>("toAnotherDisk");
    QTest::addColumn<bool>("shared"); // file contents reflinked rather than copied

    QTest::newRow("btrfs") << "btrfs" << false << true;
    QTest::newRow("xfs") << "xfs" << false << true;
    QTest::newRow("btrfs to another disk") << "btrfs" << true << false;
    QTest::newRow("scratch folder") << "" << false << false;
}

void tst_TreeCopy::copyTree()
{
    QFETCH(QString, fileSystem);
    QFETCH(bool, toAnotherDisk);
    QFETCH(bool, shared);
    QTemporaryDir scratch;
    QString root = scratch.path();
    std::function<void()> unmount = [] {};
    if (!fileSystem.isEmpty()) {
        if (::geteuid() != 0 || QStandardPaths::findExecutable("mkfs." + fileSystem, {"/usr/sbin", "/sbin"}).isEmpty()
            || ::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            QSKIP("needs root, a mount namespace and mkfs for the file system");
        root = scratch.filePath("mnt");
        QVERIFY(QDir().mkpath(root));
        QFile image(scratch.filePath("image"));
        QVERIFY(image.open(QIODevice::WriteOnly) && image.resize(320 << 20));
        image.close();
        QCOMPARE(QProcess::execute("mkfs." + fileSystem, {"-q", image.fileName()}), 0);
        QCOMPARE(QProcess::execute("mount", {"-o", "loop", image.fileName(), root}), 0);
        unmount = [root] { ::umount2(QFile::encodeName(root).constData(), MNT_DETACH); };
    }
    const auto unmountAtEnd = qScopeGuard([&] { unmount(); });
    const QString source = root + "/package";
    QVERIFY(QDir().mkpath(source + "/app/js"));
    const auto write = [&](const QString &name, const QByteArray &bytes, QFile::Permissions permissions) {
        QFile file(source + name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        QVERIFY(file.setPermissions(permissions));
    };
    QByteArray large(3 << 20, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(large.data()), large.size() / 4);
    write("/app/js/main.js", large, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    write("/run.sh", "#!/bin/sh\n", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    write("/empty", "", QFile::ReadOwner);
    QVERIFY(QFile::link("app/js/main.js", source + "/link"));

    const QString destination = toAnotherDisk ? scratch.filePath("copy") : root + "/copy";
    const TreeCopy::Counts counts = TreeCopy::copyTree(source, destination);
    QCOMPARE(describe(destination), describe(source));
    QCOMPARE(counts.clonedFiles, shared ? 3 : 0);
    QCOMPARE(counts.copiedFiles, shared ? 0 : 3);
}

QTEST_GUILESS_MAIN(tst_TreeCopy)
#include "tst_treecopy.moc"
