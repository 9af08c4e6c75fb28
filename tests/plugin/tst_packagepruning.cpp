#include "FakeWpsAddons.h"
#include "ScratchHome.h"

#include "core/ToolPaths.h"
#include "plugin/PackagePruning.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("PK");
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Marks a file immutable for as long as it lives, the one thing that stops root from deleting it.
class ImmutableFile
{
public:
    explicit ImmutableFile(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY))
    {
        m_set = m_fd >= 0 && setFlag(true);
    }
    ~ImmutableFile()
    {
        if (m_set)
            setFlag(false);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isSet() const { return m_set; }

private:
    bool setFlag(bool on)
    {
        int flags = 0;
        if (::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) != 0)
            return false;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        return ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
    }

    int m_fd;
    bool m_set = false;
};

} // namespace

class TestPackagePruning : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cacheKeepsNewestAndForeignEntries_data()
    {
        QTest::addColumn<QString>("keepSuffix");
        QTest::newRow("plain") << QStringLiteral("/CorvantaAnalysis_1.2");
        QTest::newRow("trailing slash") << QStringLiteral("/CorvantaAnalysis_1.2/");
        QTest::newRow("dot component") << QStringLiteral("/./CorvantaAnalysis_1.2");
        QTest::newRow("parent component") << QStringLiteral("/../packages/CorvantaAnalysis_1.2");
    }

    void cacheKeepsNewestAndForeignEntries()
    {
        QFETCH(QString, keepSuffix);
        ScratchHome home;
        const QString cache = ToolPaths::pluginPackageCacheDir();
        for (const char *name : {"CorvantaAnalysis_1.0", "CorvantaAnalysis_1.1", "CorvantaAnalysis_1.2"})
            FakeWpsAddons::writePackage(cache, QString::fromLatin1(name));
        QVERIFY(QDir().mkpath(cache + QStringLiteral("/notes")));
        QVERIFY(QDir().mkpath(cache + QStringLiteral("/.extract-6F9619FF-8B86-D011-B42D-00C04FC964FF/app")));
        touch(cache + QStringLiteral("/corvantaanalysis_0.1"));

        // A link pointing out of the cache goes; what it points at stays.
        const QString outside = FakeWpsAddons::writePackage(home.path(), QStringLiteral("CorvantaAnalysis_0.9"));
        QVERIFY(QFile::link(outside, cache + QStringLiteral("/CorvantaAnalysis_0.9")));

        const QStringList lines = PackagePruning::prunePluginPackageCache(cache + keepSuffix);

        QCOMPARE(entries(cache), (QStringList{QStringLiteral("CorvantaAnalysis_1.2"), QStringLiteral("corvantaanalysis_0.1"),
                                              QStringLiteral("notes")}));
        QCOMPARE(sorted(lines), (QStringList{QStringLiteral("已清理旧插件缓存：.extract-6F9619FF-8B86-D011-B42D-00C04FC964FF"),
                                             QStringLiteral("已清理旧插件缓存：CorvantaAnalysis_0.9"),
                                             QStringLiteral("已清理旧插件缓存：CorvantaAnalysis_1.0"),
                                             QStringLiteral("已清理旧插件缓存：CorvantaAnalysis_1.1")}));
        QVERIFY(QFile::exists(outside + QStringLiteral("/app/index.html")));
        QVERIFY(QFile::exists(cache + QStringLiteral("/CorvantaAnalysis_1.2/app/index.html")));
    }

    void downloadsKeepNewestAndForeignFiles()
    {
        ScratchHome home;
        const QString downloads = ToolPaths::pluginPackageDownloadDir();
        QVERIFY(QDir().mkpath(downloads + QStringLiteral("/.download-partial")));
        for (const char *name : {"CorvantaAnalysis_1.0.zip", "CorvantaAnalysis_1.1.zip", "release.zip",
                                 "CorvantaAnalysis_1.0.tar", "corvantaanalysis_1.0.zip", ".download-1234"})
            touch(downloads + u'/' + QString::fromLatin1(name));

        const QStringList lines =
            PackagePruning::pruneDownloadedPluginArchives(downloads + QStringLiteral("/./CorvantaAnalysis_1.1.zip"));

        QCOMPARE(entries(downloads), (QStringList{QStringLiteral("CorvantaAnalysis_1.0.tar"),
                                                  QStringLiteral("CorvantaAnalysis_1.1.zip"),
                                                  QStringLiteral("corvantaanalysis_1.0.zip"), QStringLiteral("release.zip")}));
        QCOMPARE(sorted(lines), (QStringList{QStringLiteral("已清理旧下载包：.download-1234"),
                                             QStringLiteral("已清理旧下载包：.download-partial"),
                                             QStringLiteral("已清理旧下载包：CorvantaAnalysis_1.0.zip")}));
    }

    void missingFoldersAreQuiet()
    {
        ScratchHome home;
        QCOMPARE(PackagePruning::prunePluginPackageCache(QStringLiteral("/nowhere")), QStringList());
        QCOMPARE(PackagePruning::pruneDownloadedPluginArchives(QStringLiteral("/nowhere")), QStringList());
    }

    void failedRemovalIsReportedAndOthersGo()
    {
        ScratchHome home;
        const QString cache = ToolPaths::pluginPackageCacheDir();
        const QString stuck = FakeWpsAddons::writePackage(cache, QStringLiteral("CorvantaAnalysis_1.0"));
        FakeWpsAddons::writePackage(cache, QStringLiteral("CorvantaAnalysis_1.1"));
        FakeWpsAddons::writePackage(cache, QStringLiteral("CorvantaAnalysis_1.2"));
        const ImmutableFile pinned(stuck + QStringLiteral("/ribbon.xml"));
        if (!pinned.isSet())
            QSKIP("this file system or user cannot mark files immutable, so no removal can be made to fail");

        const QStringList lines = PackagePruning::prunePluginPackageCache(cache + QStringLiteral("/CorvantaAnalysis_1.2"));

        QCOMPARE(sorted(lines),
                 (QStringList{QStringLiteral("已清理旧插件缓存：CorvantaAnalysis_1.1"),
                              QStringLiteral("清理旧插件缓存失败：CorvantaAnalysis_1.0：无法删除“CorvantaAnalysis_1.0”：没有权限。")}));
        QVERIFY(QFile::exists(stuck + QStringLiteral("/ribbon.xml")));
        QVERIFY(!QFile::exists(cache + QStringLiteral("/CorvantaAnalysis_1.1")));
        QVERIFY(QFile::exists(cache + QStringLiteral("/CorvantaAnalysis_1.2")));
    }
};

QTEST_GUILESS_MAIN(TestPackagePruning)
#include "tst_packagepruning.moc"
