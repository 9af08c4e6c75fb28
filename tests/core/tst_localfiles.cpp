#include "core/AtomicFile.h"
#include "core/Failure.h"
#include "core/LocalFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <QScopeGuard>

#include <cerrno>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_LocalFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noReasonIsEnglish();
    void tooLongNameReachesTheUserInChinese();
    void moveIntoPlace_data();
    void moveIntoPlace();
    void atomicWrite_data();
    void atomicWrite();
};

namespace {

// "file:<text>", "folder:<names inside>", "link:<target>" or "" for nothing at all.
QString describe(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return QStringLiteral("link:") + info.symLinkTarget().section(u'/', -1);
    if (info.isDir())
        return QStringLiteral("folder:") + QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).join(u',');
    if (!info.exists())
        return {};
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QStringLiteral("file:") + QString::fromUtf8(file.readAll());
}

void make(const QString &path, const QString &what)
{
    const QString kind = what.section(u':', 0, 0);
    const QString content = what.section(u':', 1);
    if (kind == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content.toUtf8());
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
        for (const QString &name : content.split(u',', Qt::SkipEmptyParts))
            make(path + u'/' + name, QStringLiteral("file:") + name);
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(content, path));
    }
}

} // namespace

// The C library's texts are English; none of them may reach the user.
void tst_LocalFiles::noReasonIsEnglish()
{
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    for (int error = 0; error < 200; ++error)
        QVERIFY2(!LocalFiles::reasonForErrno(error).contains(latin), qPrintable(QString::number(error)));
    QCOMPARE(LocalFiles::reasonForErrno(4242), QStringLiteral("系统错误（错误码 4242）"));
}

void tst_LocalFiles::tooLongNameReachesTheUserInChinese()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QString(300, u'a'));
    QString description;
    try {
        LocalFiles::entryNames(folder);
    } catch (const Failure &error) {
        description = error.sentence();
    }
    QCOMPARE(description, QStringLiteral("无法读取文件夹“") + folder + QStringLiteral("”：文件名或路径过长。"));
}

void tst_LocalFiles::moveIntoPlace_data()
{
    QTest::addColumn<QString>("staged");
    QTest::addColumn<QString>("existing");
    QTest::addColumn<int>("error");
    QTest::newRow("file into an empty place") << "file:new" << "" << 0;
    QTest::newRow("file over a file") << "file:new" << "file:old" << 0;
    QTest::newRow("file over a link") << "file:new" << "link:elsewhere" << 0;
    QTest::newRow("file over a folder") << "file:new" << "folder:a,b" << 0;
    QTest::newRow("folder into an empty place") << "folder:x" << "" << 0;
    QTest::newRow("folder over a folder") << "folder:x,y" << "folder:a,b" << 0;
    QTest::newRow("folder over an empty folder") << "folder:x" << "folder:" << 0;
    QTest::newRow("folder over a file") << "folder:x" << "file:old" << 0;
    QTest::newRow("nothing staged over a folder") << "" << "folder:a,b" << ENOENT;
    QTest::newRow("nothing staged over a file") << "" << "file:old" << ENOENT;
}

// Whatever stands at the target is replaced whole, and a failed move leaves it as it was, with
// nothing hidden left beside it.
void tst_LocalFiles::moveIntoPlace()
{
    QFETCH(QString, staged);
    QFETCH(QString, existing);
    QFETCH(int, error);
    QTemporaryDir dir;
    const QString from = dir.filePath(QStringLiteral(".staged"));
    const QString to = dir.filePath(QStringLiteral("target"));
    make(from, staged);
    make(to, existing);

    QCOMPARE(LocalFiles::moveIntoPlace(from, to), error);
    QCOMPARE(describe(to), error == 0 ? staged : existing);
    QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(left, QStringList{QStringLiteral("target")});
}

void tst_LocalFiles::atomicWrite_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<int>("mode"); // of the existing file
    QTest::addColumn<bool>("mountedOnItself");
    QTest::addColumn<int>("error");
    QTest::newRow("new file") << "" << 0 << false << 0;
    QTest::newRow("over a file, keeping its mode") << "file:old" << 0600 << false << 0;
    QTest::newRow("over a group-readable file") << "file:old" << 0640 << false << 0;
    // The temporary is made and written; only the final rename fails.
    QTest::newRow("rename refused: a folder in the way") << "folder:a,b" << 0 << false << EISDIR;
    QTest::newRow("rename refused: an empty folder in the way") << "folder:" << 0 << false << EISDIR;
    QTest::newRow("rename refused: the file is a mount point") << "file:old" << 0644 << true << EBUSY;
}

// The file holds the old bytes or the new ones, and nothing of ours is left beside it, whichever
// step failed.
void tst_LocalFiles::atomicWrite()
{
    QFETCH(QString, existing);
    QFETCH(int, mode);
    QFETCH(bool, mountedOnItself);
    QFETCH(int, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("target"));
    make(path, existing);
    if (mode != 0)
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
    const QByteArray target = QFile::encodeName(path);
    if (mountedOnItself) {
        // In a mount namespace of this thread's own: the mount never leaves the test.
        if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0
            || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            QSKIP("needs root for a mount namespace");
        QCOMPARE(::mount(target.constData(), target.constData(), nullptr, MS_BIND, nullptr), 0);
    }
    const auto unmount = qScopeGuard([&] {
        if (mountedOnItself)
            ::umount2(target.constData(), MNT_DETACH);
    });

    int thrown = 0;
    try {
        AtomicFile::write(path, "new");
    } catch (const Failure &failure) {
        QCOMPARE(failure.kind(), FailureKind::FileSystem);
        QCOMPARE(failure.details().path, QStringLiteral("target"));
        thrown = failure.details().errorNumber;
    }
    QCOMPARE(thrown, error);
    QCOMPARE(describe(path), error == 0 ? QStringLiteral("file:new") : existing);
    if (error == 0) {
        struct stat written = {};
        QCOMPARE(::stat(target.constData(), &written), 0);
        QCOMPARE(int(written.st_mode & 07777), mode != 0 ? mode : 0644);
    }
    QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(left, QStringList{QStringLiteral("target")});
}

QTEST_GUILESS_MAIN(tst_LocalFiles)
#include "tst_localfiles.moc"
