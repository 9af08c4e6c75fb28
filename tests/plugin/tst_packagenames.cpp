#include "plugin/PackageNames.h"
#include "plugin/WpsAddonEdits.h"
#include "core/Failure.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString unsafeFileName = QStringLiteral("授权服务返回的插件文件名不安全，已拒绝下载。");
const QString unsafeVersion = QStringLiteral("授权服务返回的插件版本号不安全，已拒绝下载。");

// The name, or the refusal's sentence.
QString outcome(const std::function<QString()> &make)
{
    try {
        return make();
    } catch (const Failure &error) {
        return error.sentence();
    }
}

} // namespace

class TestPackageNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void names_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("directory");

        const QString v = QStringLiteral("1.4.2");
        const QString dir = QStringLiteral("CorvantaAnalysis_1.4.2");
        QTest::newRow("release file name") << QStringLiteral("CorvantaAnalysis_1.4.2.zip") << v
                                           << QStringLiteral("CorvantaAnalysis_1.4.2.zip") << dir;
        QTest::newRow("other file name") << QStringLiteral("release.zip") << v << QStringLiteral("release.zip") << dir;
        QTest::newRow("blank and Chinese") << QStringLiteral("Corvanta 分析 1.4.2.zip") << v
                                           << QStringLiteral("Corvanta 分析 1.4.2.zip") << dir;
        QTest::newRow("no file name") << QString() << v << QStringLiteral("CorvantaAnalysis_1.4.2.zip") << dir;
        QTest::newRow("empty file name") << QStringLiteral("") << v << QStringLiteral("CorvantaAnalysis_1.4.2.zip") << dir;
        QTest::newRow("pre-release version") << QString() << QStringLiteral("2.0.0-rc.1+b7")
                                             << QStringLiteral("CorvantaAnalysis_2.0.0-rc.1+b7.zip")
                                             << QStringLiteral("CorvantaAnalysis_2.0.0-rc.1+b7");

        QTest::newRow("file name climbs out") << QStringLiteral("../../.zshrc") << v << unsafeFileName << dir;
        QTest::newRow("file name absolute") << QStringLiteral("/etc/passwd") << v << unsafeFileName << dir;
        QTest::newRow("file name with folder") << QStringLiteral("sub/x.zip") << v << unsafeFileName << dir;
        QTest::newRow("file name backslash") << QStringLiteral("..\\x.zip") << v << unsafeFileName << dir;
        QTest::newRow("file name dot") << QStringLiteral(".") << v << unsafeFileName << dir;
        QTest::newRow("file name dot dot") << QStringLiteral("..") << v << unsafeFileName << dir;
        QTest::newRow("file name with dot dot") << QStringLiteral("a..zip") << v << unsafeFileName << dir;
        QTest::newRow("file name hidden") << QStringLiteral(".download-x.zip") << v << unsafeFileName << dir;
        QTest::newRow("file name NUL") << QStringLiteral("a.zip") + QChar(0) + QStringLiteral("x") << v << unsafeFileName
                                       << dir;
        QTest::newRow("file name line break") << QStringLiteral("a\n.zip") << v << unsafeFileName << dir;
        QTest::newRow("file name C1 control") << QStringLiteral("a\u0085.zip") << v << unsafeFileName << dir;

        QTest::newRow("version climbs out") << QString() << QStringLiteral("/../../x") << unsafeVersion << unsafeVersion;
        QTest::newRow("version slash") << QStringLiteral("a.zip") << QStringLiteral("1/2") << unsafeVersion << unsafeVersion;
        QTest::newRow("version backslash") << QString() << QStringLiteral("1\\2") << unsafeVersion << unsafeVersion;
        QTest::newRow("version dot dot") << QString() << QStringLiteral("..") << unsafeVersion << unsafeVersion;
        QTest::newRow("version with dot dot") << QString() << QStringLiteral("1..2") << unsafeVersion << unsafeVersion;
        QTest::newRow("version hidden") << QString() << QStringLiteral(".1") << unsafeVersion << unsafeVersion;
        QTest::newRow("version empty") << QString() << QStringLiteral("") << unsafeVersion << unsafeVersion;
        QTest::newRow("version absent") << QString() << QString() << unsafeVersion << unsafeVersion;
        QTest::newRow("version tab") << QString() << QStringLiteral("1.0\t") << unsafeVersion << unsafeVersion;

        // Entry names are limited to 255 bytes of UTF-8, characters of three bytes included.
        const QString name255 = QString(251, u'a') + QStringLiteral(".zip");
        QTest::newRow("file name of 255 bytes") << name255 << v << name255 << dir;
        QTest::newRow("file name of 256 bytes") << QLatin1Char('b') + name255 << v << unsafeFileName << dir;
        QTest::newRow("file name of 85 Chinese characters") << QString(85, u'包') << v << QString(85, u'包') << dir;
        QTest::newRow("file name of 86 Chinese characters") << QString(86, u'包') << v << unsafeFileName << dir;
        QTest::newRow("version making an archive name of 255 bytes")
            << QString() << QString(234, u'1') << QStringLiteral("CorvantaAnalysis_") + QString(234, u'1') + QStringLiteral(".zip")
            << QStringLiteral("CorvantaAnalysis_") + QString(234, u'1');
        QTest::newRow("version making an archive name of 256 bytes")
            << QStringLiteral("a.zip") << QString(235, u'1') << unsafeVersion << unsafeVersion;
    }

    void names()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, version);
        QFETCH(QString, archive);
        QFETCH(QString, directory);
        QCOMPARE(outcome([&] { return PackageNames::archiveFileName(fileName, version); }), archive);
        QCOMPARE(outcome([&] { return PackageNames::packageDirectoryName(version); }), directory);
        QCOMPARE(PackageNames::folderNameFor(version).value_or(unsafeVersion), directory);
    }

    // The installer names the add-in's folder after the version the package itself declares, by
    // the same rule as the cache; a package without its files is refused first.
    void installedFolderName_data()
    {
        QTest::addColumn<QByteArray>("versionFile");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("name"); // empty: refused
        QTest::addColumn<FailureKind>("kind");
        QTest::newRow("version of the folder name") << QByteArray() << true << QStringLiteral("CorvantaAnalysis_1.4.2")
                                                    << FailureKind::Internal;
        QTest::newRow("declared version") << QByteArray(R"({"version":"2.0.0-rc.1"})") << true
                                          << QStringLiteral("CorvantaAnalysis_2.0.0-rc.1") << FailureKind::Internal;
        QTest::newRow("version with a slash") << QByteArray(R"({"version":"1/../../x"})") << true << QString()
                                              << FailureKind::InvalidPackageVersion;
        QTest::newRow("version with a backslash") << QByteArray(R"({"version":"1\\..\\x"})") << true << QString()
                                                  << FailureKind::InvalidPackageVersion;
        QTest::newRow("version dot dot") << QByteArray(R"({"version":".."})") << true << QString()
                                         << FailureKind::InvalidPackageVersion;
        QTest::newRow("hidden version") << QByteArray(R"({"version":".1"})") << true << QString()
                                        << FailureKind::InvalidPackageVersion;
        QTest::newRow("empty version") << QByteArray(R"({"version":""})") << true << QString()
                                       << FailureKind::InvalidPackageVersion;
        QTest::newRow("files missing") << QByteArray() << false << QString() << FailureKind::IncompletePackageFolder;
    }

    void installedFolderName()
    {
        QFETCH(QByteArray, versionFile);
        QFETCH(bool, complete);
        QFETCH(QString, name);
        QFETCH(FailureKind, kind);
        QTemporaryDir dir;
        const QString package = dir.filePath(QStringLiteral("CorvantaAnalysis_1.4.2"));
        QVERIFY(QDir().mkpath(package + QStringLiteral("/app")));
        const auto write = [&package](const QString &relative, const QByteArray &bytes) {
            QFile file(package + QLatin1Char('/') + relative);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write(QStringLiteral("ribbon.xml"), "<ribbon/>"));
        if (complete)
            QVERIFY(write(QStringLiteral("app/index.html"), "<html/>"));
        if (!versionFile.isEmpty())
            QVERIFY(write(QStringLiteral("version.json"), versionFile));
        try {
            QCOMPARE(WpsAddonEdits::installedDirectoryName(package), name);
            QVERIFY(!name.isEmpty());
        } catch (const Failure &failure) {
            QVERIFY2(name.isEmpty(), qPrintable(failure.sentence()));
            QCOMPARE(failure.kind(), kind);
        }
    }
};

QTEST_GUILESS_MAIN(TestPackageNames)
#include "tst_packagenames.moc"
