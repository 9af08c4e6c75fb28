#include "FakeWpsAddons.h"
#include "ScratchHome.h"

#include "core/Failure.h"
#include "core/ToolPaths.h"
#include "plugin/PackageDirectory.h"

#include <QDir>
#include <QJsonDocument>
#include <QTest>
#include <QXmlStreamReader>

#include <sys/stat.h>

Q_DECLARE_METATYPE(FakePackage)

namespace {

const QDateTime earlier = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
const QDateTime later = earlier.addSecs(3600);

} // namespace

class TestPackageDirectory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsOnePackage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<FakePackage>("package");
        QTest::addColumn<bool>("recognised");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("minManagerVersion");
        const QString absent;

        QTest::newRow("name only") << QStringLiteral("CorvantaAnalysis_2.3.4") << FakePackage() << true
                                   << QStringLiteral("2.3.4") << absent;
        QTest::newRow("number version") << QStringLiteral("CorvantaAnalysis_1.0") << FakePackage().version(2)
                                        << true << QStringLiteral("2") << absent;
        QTest::newRow("fractional version") << QStringLiteral("CorvantaAnalysis_1.0")
                                            << FakePackage().version(2.5) << true << QStringLiteral("2.5") << absent;
        QTest::newRow("empty text version counts")
            << QStringLiteral("CorvantaAnalysis_1.0") << FakePackage().version(QStringLiteral("")) << true
            << QStringLiteral("") << absent;
        QTest::newRow("text versions") << QStringLiteral("CorvantaAnalysis_1.0")
                                       << FakePackage().version(QStringLiteral("1.4.2")).minManagerVersion(QStringLiteral("0.2.0"))
                                       << true << QStringLiteral("1.4.2") << QStringLiteral("0.2.0");
        QTest::newRow("number minimum, name version")
            << QStringLiteral("CorvantaAnalysis_3.1") << FakePackage().minManagerVersion(1) << true
            << QStringLiteral("3.1") << QStringLiteral("1");
        QTest::newRow("boolean version") << QStringLiteral("CorvantaAnalysis_1.0") << FakePackage().version(true)
                                         << true << QStringLiteral("1") << absent;
        QTest::newRow("broken version.json") << QStringLiteral("CorvantaAnalysis_1.7")
                                             << FakePackage().rawVersionJson("{\"version\": ") << true
                                             << QStringLiteral("1.7") << absent;
        QTest::newRow("version.json an array") << QStringLiteral("CorvantaAnalysis_1.7")
                                               << FakePackage().rawVersionJson("[\"9.9\"]") << true
                                               << QStringLiteral("1.7") << absent;
        QTest::newRow("nothing after the prefix") << QStringLiteral("CorvantaAnalysis_") << FakePackage() << true
                                                  << QStringLiteral("") << absent;
        QTest::newRow("no index page") << QStringLiteral("CorvantaAnalysis_1.0") << FakePackage().noIndex() << false
                                       << absent << absent;
        QTest::newRow("no ribbon") << QStringLiteral("CorvantaAnalysis_1.0") << FakePackage().noRibbon() << false
                                   << absent << absent;
        QTest::newRow("prefix case differs") << QStringLiteral("corvantaanalysis_1.0") << FakePackage() << false << absent
                                             << absent;
        QTest::newRow("other add-in") << QStringLiteral("OtherAddin_1.0") << FakePackage() << false << absent << absent;
        QTest::newRow("bare name") << QStringLiteral("CorvantaAnalysis") << FakePackage() << false << absent << absent;
    }

    // Neither a FIFO nor a device in place of version.json may block the scan.
    void unreadableMetadataFallsBackToName_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << QStringLiteral("fifo");
        QTest::newRow("link to an endless device") << QStringLiteral("device");
        QTest::newRow("oversized") << QStringLiteral("large");
    }

    void unreadableMetadataFallsBackToName()
    {
        QFETCH(QString, kind);
        QTemporaryDir parent;
        const QString dir = FakeWpsAddons::writePackage(parent.path(), QStringLiteral("CorvantaAnalysis_3.1"));
        const QString metadata = dir + QStringLiteral("/version.json");
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(metadata).constData(), 0644), 0);
        } else if (kind == QLatin1String("device")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), metadata));
        } else {
            QFile file(metadata);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("{\"version\": \"9.9\"}").append(QByteArray(2 * 1024 * 1024, ' ')));
        }
        const std::optional<CachedPluginPackage> read = PackageDirectory::readPackageDirectory(dir);
        QVERIFY(read);
        QCOMPARE(read->version, QStringLiteral("3.1"));
    }

    void readsOnePackage()
    {
        QFETCH(QString, name);
        QFETCH(FakePackage, package);
        QFETCH(bool, recognised);
        QFETCH(QString, version);
        QFETCH(QString, minManagerVersion);

        QTemporaryDir parent;
        const QString dir = FakeWpsAddons::writePackage(parent.path(), name, package);
        const std::optional<CachedPluginPackage> read = PackageDirectory::readPackageDirectory(dir);
        QCOMPARE(read.has_value(), recognised);
        if (!read)
            return;
        QCOMPARE(read->directory, dir);
        QCOMPARE(read->version, version);
        QCOMPARE(read->version.isNull(), version.isNull());
        QCOMPARE(read->minManagerVersion, minManagerVersion);
        QCOMPARE(read->minManagerVersion.isNull(), minManagerVersion.isNull());
    }

    // Existence is all that counts: marker entries may be directories.
    void markersOfAnyKind()
    {
        QTemporaryDir parent;
        const QString dir = parent.filePath(QStringLiteral("CorvantaAnalysis_5.0"));
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/ribbon.xml")));
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/app/index.html")));
        QCOMPARE(PackageDirectory::readPackageDirectory(dir)->version, QStringLiteral("5.0"));
    }

    void newestByModificationDate()
    {
        ScratchHome home;
        FakeWpsAddons addons;
        addons.addPackage(QStringLiteral("CorvantaAnalysis_1.0"), FakePackage().modifiedAt(later));
        addons.addPackage(QStringLiteral("CorvantaAnalysis_1.1"), FakePackage().modifiedAt(earlier));
        addons.addPackage(QStringLiteral("CorvantaAnalysis_9.0"), FakePackage().noIndex().modifiedAt(later.addSecs(60)));
        addons.addPackage(QStringLiteral("corvantaanalysis_9.1"), FakePackage().modifiedAt(later.addSecs(60)));
        addons.writePublishXml({});
        QCOMPARE(PackageDirectory::installedPluginVersionFromDisk(), QStringLiteral("1.0"));

        FakeWpsAddons::setModified(addons.filePath(QStringLiteral("CorvantaAnalysis_1.1")), later.addSecs(1));
        QCOMPARE(PackageDirectory::installedPluginVersionFromDisk(), QStringLiteral("1.1"));
    }

    void equalDatesGiveOneAnswer()
    {
        // Twelve directories of the same date: whatever order the listing gives, the greatest name
        // wins, "…_1.9" before "…_1.11" as text.
        ScratchHome home;
        FakeWpsAddons addons;
        for (int minor = 0; minor < 12; ++minor)
            addons.addPackage(QStringLiteral("CorvantaAnalysis_1.%1").arg(minor), FakePackage().modifiedAt(earlier));
        QCOMPARE(PackageDirectory::installedPluginVersionFromDisk(), QStringLiteral("1.9"));
    }

    void installedVersionAbsent()
    {
        ScratchHome home;
        QVERIFY(PackageDirectory::installedPluginVersionFromDisk().isNull());

        FakeWpsAddons addons;
        addons.addPackage(QStringLiteral("OtherAddin_1.0"));
        QVERIFY(PackageDirectory::installedPluginVersionFromDisk().isNull());

        // A file where the directory should be cannot be listed: absent, not an error.
        QVERIFY(QDir(addons.path()).removeRecursively());
        QFile file(addons.path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(PackageDirectory::installedPluginVersionFromDisk().isNull());
    }

    void cacheScan()
    {
        ScratchHome home;
        QVERIFY(!PackageDirectory::latestCachedPluginPackage());

        const QString cache = ToolPaths::pluginPackageCacheDir();
        QVERIFY(QDir().mkpath(cache));
        QVERIFY(!PackageDirectory::latestCachedPluginPackage());

        FakeWpsAddons::writePackage(cache, QStringLiteral("CorvantaAnalysis_1.2"),
                                    FakePackage()
                                        .version(QStringLiteral("1.2.0"))
                                        .minManagerVersion(QStringLiteral("0.1.3"))
                                        .modifiedAt(later));
        FakeWpsAddons::writePackage(cache, QStringLiteral("CorvantaAnalysis_1.3"), FakePackage().modifiedAt(earlier));
        FakeWpsAddons::writePackage(cache, QStringLiteral(".extract-0F1E"), FakePackage().modifiedAt(later.addSecs(60)));
        const std::optional<CachedPluginPackage> newest = PackageDirectory::latestCachedPluginPackage();
        QVERIFY(newest);
        QCOMPARE(*newest, (CachedPluginPackage{cache + QStringLiteral("/CorvantaAnalysis_1.2"), QStringLiteral("1.2.0"),
                                               QStringLiteral("0.1.3")}));
    }

    void cacheListingFailureIsReported()
    {
        ScratchHome home;
        const QString cache = ToolPaths::pluginPackageCacheDir();
        QVERIFY(QDir().mkpath(QFileInfo(cache).absolutePath()));
        QFile file(cache);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        try {
            PackageDirectory::latestCachedPluginPackage();
            QFAIL("an unlistable cache went unreported");
        } catch (const Failure &error) {
            QCOMPARE(error.sentence(), QStringLiteral("无法读取文件夹“") + cache + QStringLiteral("”：不是文件夹。"));
        }
    }

    // The fixture's lists must look like WPS's own, or the removal tests built on them prove nothing.
    void typicalInstallShapes()
    {
        ScratchHome home;
        FakeWpsAddons addons;
        addons.installTypical(QStringLiteral("1.4.2"));
        QCOMPARE(PackageDirectory::installedPluginVersionFromDisk(), QStringLiteral("1.4.2"));
        QCOMPARE(addons.entryNames(), (QStringList{QStringLiteral("CorvantaAnalysis_1.4.2"), QStringLiteral("OtherAddin_1.0"),
                                                   QStringLiteral("authaddin.json"), QStringLiteral("publish.xml")}));

        QXmlStreamReader xml(addons.readPublishXml());
        QStringList plugins;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() != QLatin1String("jsplugins")) {
                plugins.append(xml.name() + u':' + xml.attributes().value(QLatin1String("name")) + u':'
                               + xml.attributes().value(QLatin1String("url")));
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(plugins,
                 (QStringList{QStringLiteral("jsplugin:CorvantaAnalysis:") + addons.packageUrl(QStringLiteral("CorvantaAnalysis_1.4.2")),
                              QStringLiteral("jspluginonline:OtherAddin:") + addons.packageUrl(QStringLiteral("OtherAddin_1.0"))}));

        const QJsonObject group = addons.readAuthAddinJson().value(QLatin1String("et")).toObject();
        QCOMPARE(group.value(QLatin1String("namelist")).toString(), QStringLiteral("CorvantaAnalysis_1.4.2;OtherAddin_1.0"));
        QCOMPARE(group.value(QLatin1String("CorvantaAnalysis_1.4.2")).toObject().value(QLatin1String("path")).toString(),
                 addons.filePath(QStringLiteral("CorvantaAnalysis_1.4.2")));
    }
};

QTEST_GUILESS_MAIN(TestPackageDirectory)
#include "tst_packagedirectory.moc"
