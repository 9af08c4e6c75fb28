#include "core/LocalFiles.h"
#include "plugin/PackageArchive.h"
#include "core/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString helper = QStringLiteral(processhelper_PATH);

struct Entry
{
    QString name;
    QByteArray content;
    bool isLink = false; // content is the link target
};
using Entries = QList<Entry>;

const Entries completePackage{{"ribbon.xml", "<ribbon/>"}, {"app/index.html", "<html/>"}};

Entries under(const QString &folder, const Entries &entries)
{
    Entries result;
    for (Entry entry : entries) {
        entry.name = folder + '/' + entry.name;
        result << entry;
    }
    return result;
}

// Real archives, written by Python's zipfile so that hostile names and links can be crafted.
// Corrupting (flipping bytes inside the entry named "zz/payload.bin") keeps the other files intact.
bool writeZip(const QString &path, const Entries &entries, const QByteArray &comment = {}, bool corrupt = false)
{
    QJsonArray list;
    for (const Entry &entry : entries)
        list.append(QJsonArray{entry.name, QString::fromUtf8(entry.content), entry.isLink});
    const QJsonObject layout{{"path", path}, {"entries", list}, {"comment", QString::fromUtf8(comment)},
                           {"corrupt", corrupt}};
    const char *script = R"(
import json, sys, zipfile
layout = json.load(sys.stdin)
with zipfile.ZipFile(layout['path'], 'w', compression=zipfile.ZIP_DEFLATED) as z:
    z.comment = layout['comment'].encode()
    for name, content, is_link in layout['entries']:
        # "hex:" names are raw bytes stored without the UTF-8 flag, as legacy zip tools write them.
        info = zipfile.ZipInfo(bytes.fromhex(name[4:]).decode('cp437') if name.startswith('hex:') else name)
        info.create_system = 3
        info.external_attr = (0o120777 if is_link else 0o100644) << 16
        z.writestr(info, content)
if layout['corrupt']:
    data = bytearray(open(layout['path'], 'rb').read())
    start = data.find(b'zz/payload.bin') + 30
    for i in range(start, start + 40):
        data[i] ^= 0xff
    open(layout['path'], 'wb').write(data)
)";
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(script)});
    python.write(QJsonDocument(layout).toJson());
    python.closeWriteChannel();
    return python.waitForFinished() && python.exitCode() == 0 && QFileInfo::exists(path);
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QStringList leftovers(const QString &cacheDir)
{
    return QDir(cacheDir).entryList({".extract-*"}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

QCoro::Task<> extractAsync(QString archive, QString cache, QStringList *logs, QString *result, QString *error)
{
    const QString name = QStringLiteral("CorvantaAnalysis_1.0");
    std::function<void(const QString &)> log = [logs](const QString &line) { *logs << line; };
    try {
        *result = co_await PackageArchive::extractPluginPackageAsync(archive, cache, name, log, helper);
    } catch (const Failure &thrown) {
        *error = thrown.sentence();
    }
}

} // namespace

class tst_PackageArchive : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void extraction_data();
    void extraction();
    void sameNameAgainReplacesThePackage();
    void parentAndAbsoluteNamesAreRefused_data();
    void parentAndAbsoluteNamesAreRefused();
    void dotsInsideNamesAreFine();
    void linksCannotReachOutside_data();
    void linksCannotReachOutside();
    void replacingDoesNotFollowLinks();
    void unzipOutputIsLoggedTrimmed();
    void asyncRunsTheSameSteps();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_cache;
    QString m_archive;
    QString m_outside;
};

void tst_PackageArchive::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_cache = m_dir->filePath("support/packages");
    m_archive = m_dir->filePath("release.zip");
    m_outside = m_dir->filePath("outside");
    QVERIFY(QDir().mkpath(m_outside));
}

void tst_PackageArchive::extraction_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<bool>("corrupt");
    QTest::addColumn<QString>("ribbon"); // expected ribbon.xml of the cached package; empty: failure

    const Entries secondOnly = Entries{{"a/ribbon.xml", "a"}} + under("b", {{"ribbon.xml", "b"}, {"app/index.html", "b"}});
    QTest::newRow("top level") << completePackage << false << "<ribbon/>";
    QTest::newRow("one folder down") << under("CorvantaAnalysis", completePackage) << false << "<ribbon/>";
    QTest::newRow("first folder incomplete") << secondOnly << false << "b";
    QTest::newRow("two folders down is too deep") << under("x/y", completePackage) << false << QString();
    QTest::newRow("no app/index.html") << Entries{{"ribbon.xml", "r"}, {"app/main.js", "j"}} << false << QString();
    QTest::newRow("empty archive") << Entries{} << false << QString();
    QTest::newRow("damaged, markers survive")
        << completePackage + Entries{{"zz/payload.bin", QByteArray(100000, 'x')}} << true << QString();
    QTest::newRow("root is a link") << Entries{{"pkg", "OUTSIDE", true}} << false << QString();
    QTest::newRow("marker is a link")
        << Entries{{"ribbon.xml", "OUTSIDE/ribbon.xml", true}, {"app/index.html", "<html/>"}} << false << QString();
}

void tst_PackageArchive::extraction()
{
    QFETCH(Entries, entries);
    QFETCH(bool, corrupt);
    QFETCH(QString, ribbon);
    // A complete package outside the cache that a link could point at.
    QVERIFY(QDir().mkpath(m_outside + "/app"));
    QFile::copy(TEST_SOURCE_DIR "/CMakeLists.txt", m_outside + "/ribbon.xml");
    QFile::copy(TEST_SOURCE_DIR "/CMakeLists.txt", m_outside + "/app/index.html");
    for (Entry &entry : entries)
        entry.content.replace("OUTSIDE", m_outside.toUtf8());
    QVERIFY(writeZip(m_archive, entries, {}, corrupt));

    const QString destination = m_cache + "/CorvantaAnalysis_1.0";
    if (ribbon.isEmpty()) {
        try {
            PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
            QFAIL("no error");
        } catch (const Failure &error) {
            QCOMPARE(error.sentence(), QStringLiteral("插件包结构不完整，请重新下载。"));
        }
        QVERIFY(!QFileInfo::exists(destination));
    } else {
        QCOMPARE(PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0"), destination);
        QCOMPARE(readText(destination + "/ribbon.xml"), ribbon);
        QVERIFY(QFileInfo::exists(destination + "/app/index.html"));
    }
    QCOMPARE(leftovers(m_cache), QStringList());
}

void tst_PackageArchive::sameNameAgainReplacesThePackage()
{
    QVERIFY(writeZip(m_archive, completePackage + Entries{{"old-only.js", "1"}}));
    const QString first = PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
    QVERIFY(writeZip(m_archive, {{"ribbon.xml", "new"}, {"app/index.html", "new"}}));
    QCOMPARE(PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0"), first);
    QCOMPARE(readText(first + "/ribbon.xml"), QStringLiteral("new"));
    QVERIFY(!QFileInfo::exists(first + "/old-only.js"));
    QCOMPARE(QDir(m_cache).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"CorvantaAnalysis_1.0"});
}

// unzip would strip "../" and a leading "/" and unpack the rest; such an archive is refused
// before anything is written, wherever the climbing name sits.
void tst_PackageArchive::parentAndAbsoluteNamesAreRefused_data()
{
    QTest::addColumn<QString>("entry");
    // Bytes before the archive: unzip lists and unpacks it all the same, with a warning (status 1).
    QTest::addColumn<QByteArray>("leadingBytes");
    QTest::newRow("parent") << QStringLiteral("../escape.txt") << QByteArray();
    QTest::newRow("grandparent") << QStringLiteral("../../escape.txt") << QByteArray();
    QTest::newRow("climbing back out") << QStringLiteral("app/../../escape.txt") << QByteArray();
    QTest::newRow("absolute") << QStringLiteral("/absolute.txt") << QByteArray();
    QTest::newRow("parent, bytes before the archive") << QStringLiteral("../escape.txt") << QByteArray("JUNK");
    QTest::newRow("absolute, bytes before the archive") << QStringLiteral("/absolute.txt") << QByteArray("JUNK");
}

void tst_PackageArchive::parentAndAbsoluteNamesAreRefused()
{
    QFETCH(QString, entry);
    QFETCH(QByteArray, leadingBytes);
    QVERIFY(writeZip(m_archive, completePackage + Entries{{entry.toUtf8(), "x"}}));
    if (!leadingBytes.isEmpty()) {
        QFile file(m_archive);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = leadingBytes + file.readAll();
        file.close();
        writeText(m_archive, bytes);
    }
    try {
        PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
        QFAIL("an archive with a climbing entry name was unpacked");
    } catch (const Failure &error) {
        QCOMPARE(error.kind(), FailureKind::UnsafeArchive);
    }
    QCOMPARE(QDir(m_cache).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(QDir(m_outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// Names that merely contain two dots, and names in a legacy encoding (GBK bytes without the UTF-8
// flag), are ordinary; a legacy name that climbs out is still refused.
void tst_PackageArchive::dotsInsideNamesAreFine()
{
    QVERIFY(writeZip(m_archive, completePackage + Entries{{"app/v1..2.txt", "x"}, {"..hidden", "x"},
                                                          {"hex:d6d0cec42e747874", "x"}}));
    const QString destination = PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
    QVERIFY(QFileInfo::exists(destination + "/app/v1..2.txt"));
    QCOMPARE(QDir(destination).entryList(QDir::Files | QDir::Hidden).size(), 3);

    QVERIFY(writeZip(m_archive, completePackage + Entries{{"hex:2e2e2fd6d02e747874", "x"}}));
    QVERIFY_THROWS_EXCEPTION(Failure,
                             PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0"));
}

void tst_PackageArchive::linksCannotReachOutside_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::newRow("write through a link") << completePackage + Entries{{"link", "OUTSIDE", true}, {"link/evil.txt", "x"}};
    QTest::newRow("relative link upwards")
        << completePackage + Entries{{"up", "../../../outside", true}, {"up/evil.txt", "x"}};
}

// unzip creates links only after every file, so a later entry cannot be written through one; it
// reports that as an error and the package is refused.
void tst_PackageArchive::linksCannotReachOutside()
{
    QFETCH(Entries, entries);
    for (Entry &entry : entries)
        entry.content.replace("OUTSIDE", m_outside.toUtf8());
    QVERIFY(writeZip(m_archive, entries));
    QVERIFY_THROWS_EXCEPTION(Failure,
                             PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0"));
    QCOMPARE(QDir(m_outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(leftovers(m_cache), QStringList());
}

// A package may carry a link to a folder outside; replacing the package removes the link only.
void tst_PackageArchive::replacingDoesNotFollowLinks()
{
    QFile keep(m_outside + "/keep.txt");
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.close();
    QVERIFY(writeZip(m_archive, completePackage + Entries{{"app/data", m_outside.toUtf8(), true}}));
    const QString destination = PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
    QVERIFY(QFileInfo(destination + "/app/data").isSymLink());
    PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
    LocalFiles::removeEntry(destination);
    QVERIFY(!QFileInfo::exists(destination));
    QVERIFY(keep.exists());

    // A link standing where the package goes is replaced, not followed.
    QVERIFY(QFile::link(m_outside, destination));
    PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
    QVERIFY(!QFileInfo(destination).isSymLink());
    QVERIFY(keep.exists());
}

// The real unzip stays silent with "-q"; a talking stand-in checks what happens to its words.
void tst_PackageArchive::unzipOutputIsLoggedTrimmed()
{
    writeText(m_archive, "  \n talk \n\n");
    QStringList logs;
    QVERIFY_THROWS_EXCEPTION(Failure,
                             PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0",
                                                                  [&logs](const QString &line) { logs << line; }, helper));
    QCOMPARE(logs, QStringList{"talk"});
}

void tst_PackageArchive::asyncRunsTheSameSteps()
{
    writeText(m_archive, "complete package\n");
    QStringList logs;
    QString result, error;
    QCoro::waitFor(extractAsync(m_archive, m_cache, &logs, &result, &error));
    QCOMPARE(error, QString());
    QCOMPARE(result, m_cache + "/CorvantaAnalysis_1.0");
    QVERIFY(QFileInfo::exists(result + "/app/index.html"));
    QCOMPARE(logs, QStringList{"complete package"});

    writeText(m_archive, "broken");
    logs.clear();
    result.clear();
    QCoro::waitFor(extractAsync(m_archive, m_cache, &logs, &result, &error));
    QCOMPARE(error, QStringLiteral("插件包结构不完整，请重新下载。"));
    QCOMPARE(result, QString());
    QCOMPARE(logs, QStringList{"broken"}); // logged before the error arrives
    QCOMPARE(leftovers(m_cache), QStringList());
}

QTEST_GUILESS_MAIN(tst_PackageArchive)
#include "tst_packagearchive.moc"
