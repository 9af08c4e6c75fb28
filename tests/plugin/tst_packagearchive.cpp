#include "core/LocalFiles.h"
#include "plugin/PackageArchive.h"
#include "core/Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

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
class RawName(zipfile.ZipInfo):
    __slots__ = ('raw',)
    def _encodeFilenameFlags(self):
        return self.raw, self.flag_bits
layout = json.load(sys.stdin)
with zipfile.ZipFile(layout['path'], 'w', compression=zipfile.ZIP_DEFLATED) as z:
    z.comment = layout['comment'].encode()
    for name, content, is_link in layout['entries']:
        info = zipfile.ZipInfo(name)
        if name.startswith('hex:'):
            # Raw bytes without the UTF-8 flag, as legacy zip tools write them on Unix.
            info = RawName(name)
            info.raw = bytes.fromhex(name[4:])
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

// Runs a shell script in dir with ARCHIVE naming the archive to write, after laying out a complete
// package in dir/pkg: how archives are made with the real tools (zip, ln, python3).
bool makeArchive(const QString &dir, const QString &archive, const QString &script)
{
    QProcess shell;
    shell.setWorkingDirectory(dir);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ARCHIVE"), archive);
    shell.setProcessEnvironment(environment);
    shell.setProcessChannelMode(QProcess::ForwardedChannels);
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-ec"), QStringLiteral("rm -rf pkg \"$ARCHIVE\"; mkdir -p pkg/app; echo '<ribbon/>' > pkg/ribbon.xml; "
                                                       "echo '<html/>' > pkg/app/index.html\n")
                     + script});
    return shell.waitForFinished(120000) && shell.exitStatus() == QProcess::NormalExit && shell.exitCode() == 0
        && QFileInfo::exists(archive);
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

// One name marked as UTF-8 whose bytes are GBK: the reader warns and hands over no name.
const QString gbkMarkedAsUtf8 = QStringLiteral(R"(python3 -c '
import os, zipfile
class RawName(zipfile.ZipInfo):
    __slots__ = ("raw",)
    def _encodeFilenameFlags(self):
        return self.raw, self.flag_bits | 0x800
with zipfile.ZipFile(os.environ["ARCHIVE"], "w") as z:
    info = RawName("x")
    info.raw = "app/说明.txt".encode("gbk")
    z.writestr(info, "x")
')");

QStringList leftovers(const QString &cacheDir)
{
    return QDir(cacheDir).entryList({".extract-*"}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

QCoro::Task<> extractAsync(QString archive, QString cache, QStringList *logs, QString *result, QString *error)
{
    const QString name = QStringLiteral("CorvantaAnalysis_1.0");
    std::function<void(const QString &)> log = [logs](const QString &line) { *logs << line; };
    try {
        *result = co_await PackageArchive::extractPluginPackageAsync(archive, cache, name, log);
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
    void linksInsideStayLinks();
    void refusedArchives_data();
    void refusedArchives();
    void readerWarningsAreLogged();
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
        QCOMPARE(error.sentence(), QStringLiteral("插件包含有指向包外的文件路径，已拒绝安装，请重新下载。"));
    }
    QCOMPARE(QDir(m_cache).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(QDir(m_outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// Names that merely contain two dots, and UTF-8 names written on Unix without the flag, are
// ordinary; a name in a legacy encoding (GBK bytes) that climbs out is refused for climbing.
void tst_PackageArchive::dotsInsideNamesAreFine()
{
    QVERIFY(writeZip(m_archive, completePackage + Entries{{"app/v1..2.txt", "x"}, {"..hidden", "x"},
                                                          {"hex:e4b8ade696872e747874", "x"}}));
    const QString destination = PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
    QVERIFY(QFileInfo::exists(destination + "/app/v1..2.txt"));
    QVERIFY(QFileInfo::exists(destination + QStringLiteral("/中文.txt")));
    QCOMPARE(QDir(destination).entryList(QDir::Files | QDir::Hidden).size(), 3);

    QVERIFY(writeZip(m_archive, completePackage + Entries{{"hex:2e2e2fd6d02e747874", "x"}}));
    try {
        PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
        QFAIL("a climbing legacy name was unpacked");
    } catch (const Failure &error) {
        QCOMPARE(error.kind(), FailureKind::UnsafeArchive);
    }
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

// Links that stay inside the package stay links; a link standing where the package goes is replaced,
// not followed.
void tst_PackageArchive::linksInsideStayLinks()
{
    QVERIFY(makeArchive(m_dir->path(), m_archive, R"(
        ln -s ../vendor/lib pkg/app/lib
        ln -s app/lib/../index.html pkg/start.html
        mkdir -p pkg/vendor/lib && echo v > pkg/vendor/lib/v.js
        echo x > pkg/app/run.sh && chmod 4777 pkg/app/run.sh && chmod 666 pkg/ribbon.xml
        cd pkg && zip -qry "$ARCHIVE" .)"));
    const QString destination = PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
    QCOMPARE(QFileInfo(destination + "/app/lib").symLinkTarget(), destination + "/vendor/lib");
    QCOMPARE(readText(destination + "/app/lib/v.js"), QStringLiteral("v\n"));
    QVERIFY(QFileInfo(destination + "/start.html").isSymLink());
    // Modes as the archive says, never more than 0755 or 0644.
    struct stat status {};
    QVERIFY(::stat(QFile::encodeName(destination + "/app/run.sh").constData(), &status) == 0 && (status.st_mode & 07777) == 0755);
    QVERIFY(::stat(QFile::encodeName(destination + "/ribbon.xml").constData(), &status) == 0 && (status.st_mode & 07777) == 0644);

    QFile keep(m_outside + "/keep.txt");
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.close();
    LocalFiles::removeEntry(destination);
    QVERIFY(QFile::link(m_outside, destination));
    PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
    QVERIFY(!QFileInfo(destination).isSymLink());
    QVERIFY(keep.exists());
}

// Each archive as real tools make it, each refused for its own reason before anything reaches the
// cache. The scripts run in a scratch folder holding a complete package in pkg/ and write $ARCHIVE.
void tst_PackageArchive::refusedArchives_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("sentence");
    const QString outsideName = QStringLiteral("插件包含有指向包外的文件路径，已拒绝安装，请重新下载。");
    const QString outsideLink = QStringLiteral("插件包含有指向包外的链接，已拒绝安装，请重新下载。");
    const QString garbledNames = QStringLiteral("插件包中的文件名无法按原样解压（会变成乱码），已拒绝安装，请重新下载。");
    const QString zipPackage = QStringLiteral("\ncd pkg && zip -qry \"$ARCHIVE\" .");

    // 2 GB of zeros deflate to 2 MB: a classic bomb, 120 slices of 16 MiB streamed into one entry.
    QTest::newRow("zip bomb") << R"(python3 -c '
import os, zipfile
with zipfile.ZipFile(os.environ["ARCHIVE"], "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    with z.open("app/data.bin", "w", force_zip64=True) as f:
        for i in range(120): f.write(bytes(1 << 24))
')" << QStringLiteral("插件包解压后过大（超过 2 GB），已拒绝安装，请重新下载。");
    // Two entries of 1 GiB each: neither is too large, together they are.
    QTest::newRow("zip bomb in two entries") << R"(python3 -c '
import os, zipfile
with zipfile.ZipFile(os.environ["ARCHIVE"], "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    for name in ["app/a.bin", "app/b.bin"]:
        with z.open(name, "w", force_zip64=True) as f:
            for i in range(64): f.write(bytes(1 << 24))
')" << QStringLiteral("插件包解压后过大（超过 2 GB），已拒绝安装，请重新下载。");
    QTest::newRow("too many entries") << R"(python3 -c '
import os, zipfile
with zipfile.ZipFile(os.environ["ARCHIVE"], "w") as z:
    for i in range(20001): z.writestr("app/%d.js" % i, "")
')" << QStringLiteral("插件包含有的文件过多（超过 20000 个），已拒绝安装，请重新下载。");
    // The end record may understate the count: the directory itself is counted.
    QTest::newRow("too many entries, one declared") << R"(python3 -c '
import os, struct, zipfile
path = os.environ["ARCHIVE"]
with zipfile.ZipFile(path, "w") as z:
    for i in range(20001): z.writestr("app/%d.js" % i, "")
data = bytearray(open(path, "rb").read())
end = data.rfind(b"PK\x05\x06")
data[end + 8:end + 12] = struct.pack("<HH", 1, 1)
open(path, "wb").write(data)
')" << QStringLiteral("插件包含有的文件过多（超过 20000 个），已拒绝安装，请重新下载。");
    QTest::newRow("link leading out of the package") << "ln -s ../../shared/fonts pkg/app/fonts" + zipPackage << outsideLink;
    QTest::newRow("absolute link") << "ln -s /Users/dev/node_modules pkg/app/node_modules" + zipPackage << outsideLink;
    QTest::newRow("link below a link") << R"(python3 -c '
import os, zipfile
with zipfile.ZipFile(os.environ["ARCHIVE"], "w") as z:
    for name, target in [("app/up", "../../../../outside"), ("app/up/evil", "x")]:
        info = zipfile.ZipInfo(name)
        info.create_system, info.external_attr = 3, 0o120777 << 16
        z.writestr(info, target)
')" << outsideLink;
    QTest::newRow("link climbing out through a link")
        << "ln -s .. pkg/app/up && ln -s up/../x pkg/app/deep" + zipPackage << outsideLink;
    // Chinese Windows writes GBK bytes without the UTF-8 flag.
    QTest::newRow("names from an old Windows tool") << R"(python3 -c '
import os, zipfile
class RawName(zipfile.ZipInfo):
    __slots__ = ("raw",)
    def _encodeFilenameFlags(self):
        return self.raw, self.flag_bits
with zipfile.ZipFile(os.environ["ARCHIVE"], "w") as z:
    for name in ["ribbon.xml", "app/index.html", "app/说明.txt"]:
        info = RawName(name)
        info.create_system = 0
        info.raw = name.encode("gbk")
        z.writestr(info, "x")
')" << garbledNames;
    // UTF-8 with the flag, but from a Windows host, as jar writes it: read as the flag says.
    QTest::newRow("names as jar writes them") << R"(python3 -c '
import os, zipfile
with zipfile.ZipFile(os.environ["ARCHIVE"], "w", zipfile.ZIP_DEFLATED) as z:
    for name in ["META-INF/MANIFEST.MF", "ribbon.xml", "app/index.html", "app/说明.txt"]:
        info = zipfile.ZipInfo(name)
        info.create_system = 0
        z.writestr(info, "x")
')" << QString();
    // A workbook is itself a ZIP, and stored as it is its own end record lies near the package's.
    QTest::newRow("a workbook stored last") << R"(python3 -c '
import io, os, zipfile
book = io.BytesIO()
with zipfile.ZipFile(book, "w") as z: z.writestr("sheet.xml", "<x/>")
with zipfile.ZipFile(os.environ["ARCHIVE"], "w") as z:
    for name in ["ribbon.xml", "app/index.html", "app/说明.txt"]: z.writestr(name, "x")
    z.writestr("app/template.xlsx", book.getvalue())
')" << QString();
    QTest::newRow("LZMA") << R"(python3 -c '
import os, zipfile
with zipfile.ZipFile(os.environ["ARCHIVE"], "w", zipfile.ZIP_LZMA) as z:
    z.write("pkg/ribbon.xml", "ribbon.xml")
    z.write("pkg/app/index.html", "app/index.html")
')" << QStringLiteral("插件包使用了本机无法解压的压缩方式，已拒绝安装，请重新下载。");
    QTest::newRow("encrypted") << QStringLiteral("cd pkg && zip -qr -P secret \"$ARCHIVE\" .")
                               << QStringLiteral("插件包已加密，需要密码才能解压，已拒绝安装，请重新下载。");
    // The package and one more entry, named as a Windows host writes it.
    const auto withWindowsEntry = [](const char *name) {
        return QString::fromUtf8(R"(python3 -c '
import os, zipfile
with zipfile.ZipFile(os.environ["ARCHIVE"], "w") as z:
    z.write("pkg/ribbon.xml", "ribbon.xml")
    z.write("pkg/app/index.html", "app/index.html")
    info = zipfile.ZipInfo("%1")
    info.create_system = 0
    z.writestr(info, "x")
')").arg(QLatin1String(name));
    };
    QTest::newRow("backslash with ..") << withWindowsEntry(R"(a\\..\\..\\x)") << outsideName;
    // unzip reads a Windows name's backslash as a separator: this one starts at the root.
    QTest::newRow("leading backslash") << withWindowsEntry(R"(\\corvanta-outside\\x)") << outsideName;
    // 3,000,000 bytes of data and a block for each of the four entries, on a disk of 1 MiB.
    QTest::newRow("not enough disk space")
        << "head -c 3000000 /dev/zero > pkg/app/data.bin" + zipPackage
        << QStringLiteral("磁盘空间不足：解压插件包需要约 3.0 MB 可用空间，请清理磁盘后重试。");
    // Small enough for the early estimate, but the disk holds only 24 files.
    QTest::newRow("disk fills while unpacking")
        << "for i in $(seq 40); do echo $i > pkg/app/$i.js; done" + zipPackage
        << QStringLiteral("磁盘空间不足：无法继续写入“CACHE”，请清理磁盘后重试。");
    // 2.1 GB of zeros declared as 1 KB, its checksum true, refused on the small disk before it fills.
    QTest::newRow("sizes that lie") << R"(python3 -c '
import os, struct, zlib
deflate, crc, block = zlib.compressobj(1, zlib.DEFLATED, -15), 0, bytes(1 << 24)
data = b""
for i in range(125):
    data += deflate.compress(block)
    crc = zlib.crc32(block, crc)
data += deflate.compress(bytes(2100000000 - (125 << 24))) + deflate.flush()
crc = zlib.crc32(bytes(2100000000 - (125 << 24)), crc)
name = b"app/data.bin"
fields = struct.pack("<HHHHHIII", 20, 0, 8, 0, 0, crc, len(data), 1024) + struct.pack("<HH", len(name), 0)
local = b"PK\x03\x04" + fields + name
central = b"PK\x01\x02" + struct.pack("<H", 0x0314) + fields + struct.pack("<HHHII", 0, 0, 0, 0o100644 << 16, 0) + name
end = b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, 1, 1, len(central), len(local) + len(data), 0)
open(os.environ["ARCHIVE"], "wb").write(local + data + central + end)
')" << QStringLiteral("插件包中的文件“app/data.bin”解压后超出其声明的大小，插件包可能已被篡改，已拒绝安装，请重新下载。");
    const QString ambiguous = QStringLiteral("插件包含有多个文件目录或多余的数据，无法确定其内容，已拒绝安装，请重新下载。");
    // A second end record whose comment runs past the end: a reader taking the last would see
    // another directory.
    QTest::newRow("two end records") << zipPackage + R"( && cd .. && python3 -c '
import os, struct
data = open(os.environ["ARCHIVE"], "rb").read()
end = data[data.rfind(b"PK\x05\x06"):]
open(os.environ["ARCHIVE"], "ab").write(end[:20] + struct.pack("<H", 100))
')" << ambiguous;
    QTest::newRow("two archives in one") << zipPackage + " && cat \"$ARCHIVE\" \"$ARCHIVE\" > ../2.zip && mv ../2.zip \"$ARCHIVE\""
                                         << ambiguous;
    QTest::newRow("bytes after the archive") << zipPackage + " && echo JUNK >> \"$ARCHIVE\"" << ambiguous;
    QTest::newRow("the same name twice") << R"(python3 -W ignore -c '
import os, zipfile
with zipfile.ZipFile(os.environ["ARCHIVE"], "w") as z:
    for name in ["ribbon.xml", "app/index.html", "app/index.html"]: z.writestr(name, "x")
')" << QStringLiteral("插件包中的文件“app/index.html”出现了不止一次，已拒绝安装，请重新下载。");
    QTest::newRow("name marked UTF-8 that is not") << gbkMarkedAsUtf8 << garbledNames;
}

void tst_PackageArchive::refusedArchives()
{
    QFETCH(QString, script);
    QFETCH(QString, sentence);
    const QByteArray tag = QTest::currentDataTag();
    const bool smallDisk = tag == "not enough disk space" || tag == "disk fills while unpacking" || tag == "sizes that lie";
    if (smallDisk && qEnvironmentVariableIsEmpty("CORVANTA_SMALL_DISK")) {
        // The cache goes onto a small disk of its own, in a mount namespace of this row's own.
        if (::geteuid() != 0)
            QSKIP("a small disk of its own needs root (unshare and mount)");
        QProcess row;
        row.setProcessChannelMode(QProcess::MergedChannels);
        row.start(QStringLiteral("unshare"),
                  {QStringLiteral("--mount"), QStringLiteral("sh"), QStringLiteral("-c"),
                   QStringLiteral("mount -t tmpfs -o size=1m,nr_inodes=24 tmpfs \"$1\" && CORVANTA_SMALL_DISK=\"$1\" "
                                  "exec \"$0\" \"refusedArchives:$2\""),
                   QCoreApplication::applicationFilePath(), m_outside, QString::fromUtf8(tag)});
        QVERIFY(row.waitForFinished(60000));
        const QByteArray output = row.readAll();
        QVERIFY2(row.exitCode() == 0 && output.contains(QByteArray("PASS   : tst_PackageArchive::refusedArchives(").append(tag).append(")")),
                 output.constData());
        return;
    }
    if (smallDisk)
        m_cache = qEnvironmentVariable("CORVANTA_SMALL_DISK") + "/packages";
    QVERIFY(makeArchive(m_dir->path(), m_archive, script));
    if (sentence.isEmpty()) {
        const QString unpacked = PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
        QVERIFY(QFileInfo::exists(unpacked + QStringLiteral("/app/说明.txt")));
        return;
    }
    try {
        PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0");
        QFAIL("the archive was unpacked");
    } catch (const Failure &error) {
        QCOMPARE(error.sentence(), QString(sentence).replace("CACHE", m_cache));
        // A disk without room says nothing against the archive: it stays for the next attempt.
        QCOMPARE(PackageArchive::condemnsArchive(error.kind()), !sentence.startsWith("磁盘空间不足"));
    }
    QCOMPARE(QDir(m_cache).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList());
    if (!smallDisk)
        QCOMPARE(QDir(m_outside).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

// What the reader warns of is logged, before the refusal it leads to.
void tst_PackageArchive::readerWarningsAreLogged()
{
    QVERIFY(makeArchive(m_dir->path(), m_archive, gbkMarkedAsUtf8));
    QStringList logs;
    QVERIFY_THROWS_EXCEPTION(Failure,
                             PackageArchive::extractPluginPackage(m_archive, m_cache, "CorvantaAnalysis_1.0",
                                                                  [&logs](const QString &line) { logs << line; }));
    QCOMPARE(logs, QStringList{"Pathname cannot be converted from UTF-8 to current locale."});
}

void tst_PackageArchive::asyncRunsTheSameSteps()
{
    QVERIFY(writeZip(m_archive, completePackage));
    QStringList logs;
    QString result, error;
    QCoro::waitFor(extractAsync(m_archive, m_cache, &logs, &result, &error));
    QCOMPARE(error, QString());
    QCOMPARE(result, m_cache + "/CorvantaAnalysis_1.0");
    QVERIFY(QFileInfo::exists(result + "/app/index.html"));
    QCOMPARE(logs, QStringList());

    QVERIFY(makeArchive(m_dir->path(), m_archive, gbkMarkedAsUtf8));
    result.clear();
    QCoro::waitFor(extractAsync(m_archive, m_cache, &logs, &result, &error));
    QCOMPARE(error, QStringLiteral("插件包中的文件名无法按原样解压（会变成乱码），已拒绝安装，请重新下载。"));
    QCOMPARE(result, QString());
    QCOMPARE(logs, QStringList{"Pathname cannot be converted from UTF-8 to current locale."}); // before the error
    QCOMPARE(leftovers(m_cache), QStringList());
}

QTEST_GUILESS_MAIN(tst_PackageArchive)
#include "tst_packagearchive.moc"
