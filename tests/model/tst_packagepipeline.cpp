#include "model/AuthToolModel.h"
#include "ModelDownload.h"
#include "plugin/PackageArchive.h"
#include "plugin/PackageDirectory.h"
#include "plugin/PackagePipeline.h"
#include "service/ServiceNetwork.h"
#include "core/ToolPaths.h"
#include "plugin/Sha256Hasher.h"
#include "core/Failure.h"

#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "StandinService.h"
#include "TaskOutcome.h"

#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QFile>
#include <QSignalSpy>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <memory>

#include <unistd.h>

using namespace std::chrono_literals;

namespace {

using Outcome = TaskOutcome<CachedPluginPackage>;

const QString version = QStringLiteral("1.4.2");
const QString packageName = QStringLiteral("CorvantaAnalysis_1.4.2");
const QString archiveName = QStringLiteral("CorvantaAnalysis_1.4.2.zip");
const QString incompletePackage = QStringLiteral("插件包结构不完整，请重新下载。");
const QString checksumMismatch = QStringLiteral("安装包校验失败，文件可能不完整，请重新下载。");

// A fresh home, the real stand-in started with `options` and a model pointed at it.
class PipelineRig
{
public:
    explicit PipelineRig(const QStringList &options)
        : service(options)
    {
        if (service.isRunning())
            model = std::make_unique<AuthToolModel>(ClientAuthAPI(service.baseUrl()));
    }

    bool signIn(const QString &credential = StandinService::validCredential)
    {
        QCoro::waitFor(model->credentialStore().storeCredential(credential));
        return true;
    }

    Outcome run() { return awaitOutcome(downloadThrough(*model)); }

    ScratchHome home;
    StandinService service;
    std::unique_ptr<AuthToolModel> model;
};

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Messages of the activity log, without their time stamps.
QStringList logMessages()
{
    QFile file(ToolPaths::logFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList messages;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines)
        messages.append(line.mid(QStringLiteral("[00:00:00] ").size()));
    return messages;
}

// Every path below HOME with its size, except the two pipeline folders and the log.
QStringList treeOutsidePipeline()
{
    const QStringList excluded{ToolPaths::pluginPackageDownloadDir(), ToolPaths::pluginPackageCacheDir(),
                               ToolPaths::logFile()};
    QStringList tree;
    QDirIterator it(ToolPaths::homeDir(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        // Folders on the way to the pipeline's own count as its too (on Linux ~/.cache/corvanta-manager).
        const bool inside = std::any_of(excluded.begin(), excluded.end(), [&path](const QString &root) {
            return path == root || path.startsWith(root + QLatin1Char('/')) || root.startsWith(path + QLatin1Char('/'));
        });
        if (!inside)
            tree.append(path + QLatin1Char(' ') + QString::number(it.fileInfo().size()));
    }
    tree.sort();
    return tree;
}

void makeEntry(const QString &path, bool directory)
{
    if (directory) {
        QVERIFY(QDir().mkpath(path));
        return;
    }
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("old");
}

} // namespace

class tst_PackagePipeline : public QObject
{
    Q_OBJECT

private Q_SLOTS:

    void pipelineCachesPackage_data();
    void pipelineCachesPackage();
    void failureLeavesNothing_data();
    void failureLeavesNothing();
    void hostileInputStaysContained_data();
    void hostileInputStaysContained();

    void sameVersionAgainReplacesPackageAndArchive();
    void badDownloadKeepsGoodArchive();
    void pruningKeepsOtherNames();
    void latestCachedPackage();
    void progressMovesAndResets();
    void modelGoneMidDownloadLeavesNoFile();
    void tricklingDownloads_data();
    void tricklingDownloads();
    void cancelledDownloadShowsAndLogsNothing();
    void droppedDownloadResumes_data();
    void droppedDownloadResumes();
    void signedReleases_data();
    void signedReleases();
};

void tst_PackagePipeline::pipelineCachesPackage_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("archive");

    QTest::newRow("file name from the service, one folder") << QStringList{} << archiveName;
    QTest::newRow("no file name") << QStringList{"--no-file-name"} << archiveName;
    QTest::newRow("another file name") << QStringList{"--descriptor-file-name", "release-1.4.2.zip"}
                                       << QStringLiteral("release-1.4.2.zip");
    QTest::newRow("upper-case checksum") << QStringList{"--upper-case-sha"} << archiveName;
    QTest::newRow("package at the top level") << QStringList{"--layout", "top"} << archiveName;
    QTest::newRow("two folders, one a package") << QStringList{"--layout", "two-folders"} << archiveName;
}

void tst_PackagePipeline::pipelineCachesPackage()
{
    QFETCH(QStringList, options);
    QFETCH(QString, archive);
    PipelineRig rig(options);
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    QVERIFY(rig.signIn());

    const Outcome outcome = rig.run();
    QCOMPARE(outcome.description(), QString());
    const QString cache = ToolPaths::pluginPackageCacheDir();
    QCOMPARE(*outcome.value,
             (CachedPluginPackage{cache + QLatin1Char('/') + packageName, version, QStringLiteral("0.1.2")}));
    QVERIFY(QFile::exists(outcome.value->directory + QStringLiteral("/ribbon.xml")));
    QVERIFY(QFile::exists(outcome.value->directory + QStringLiteral("/app/index.html")));
    QVERIFY(!QFile::exists(outcome.value->directory + QStringLiteral("/说明.txt")));
    QCOMPARE(entries(cache), QStringList{packageName});
    QCOMPARE(entries(ToolPaths::pluginPackageDownloadDir()), QStringList{archive});
    const QStringList log = logMessages();
    QCOMPARE(log.filter(QStringLiteral("插件包")),
             (QStringList{QStringLiteral("开始下载插件包：1.4.2"), QStringLiteral("插件包已缓存：1.4.2")}));
    QCOMPARE(rig.model->downloadBytesReceived(), qint64(0));
    QCOMPARE(rig.model->downloadBytesExpected(), qint64(0));
}

void tst_PackagePipeline::failureLeavesNothing_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("credential");
    QTest::addColumn<FailureKind>("kind");

    using K = FailureKind;
    const QString valid = StandinService::validCredential;
    QTest::newRow("wrong checksum") << QStringList{"--wrong-sha256"} << valid << K::ChecksumMismatch;
    QTest::newRow("no app/index.html") << QStringList{"--layout", "missing-index"} << valid << K::IncompletePackage;
    QTest::newRow("archive answers 404") << QStringList{"--status", "archive=404"} << valid << K::DownloadRefused;
    QTest::newRow("archive answers 401") << QStringList{"--status", "archive=401"} << valid << K::DownloadRefused;
    QTest::newRow("archive answers 403") << QStringList{"--status", "archive=403"} << valid << K::DownloadRefused;
    QTest::newRow("release query fails") << QStringList{"--status", "latest=503"} << valid << K::ServiceRefused;
    QTest::newRow("no download address") << QStringList{"--no-download-url"} << valid << K::NoDownloadAddress;
    QTest::newRow("not signed in") << QStringList{} << QString() << K::NotSignedIn;
    QTest::newRow("credential refused") << QStringList{} << QStringLiteral("someone-elses-token") << K::CredentialRefused;
    QTest::newRow("credential expired") << QStringList{} << StandinService::expiredCredential << K::SignInExpired;
}

void tst_PackagePipeline::failureLeavesNothing()
{
    QFETCH(QStringList, options);
    QFETCH(QString, credential);
    QFETCH(FailureKind, kind);
    PipelineRig rig(options);
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    if (!credential.isEmpty())
        QVERIFY(rig.signIn(credential));

    const Outcome outcome = rig.run();
    QVERIFY2(outcome.kind() == kind, qPrintable(outcome.description()));
    QCOMPARE(entries(ToolPaths::pluginPackageDownloadDir()), QStringList());
    QCOMPARE(entries(ToolPaths::pluginPackageCacheDir()), QStringList());
    QVERIFY(logMessages().filter(QStringLiteral("插件包已缓存")).isEmpty());
    QCOMPARE(rig.model->downloadBytesExpected(), qint64(0));
    // A refused credential is forgotten, so the next install asks for a sign-in; others stay.
    const bool refused = kind == FailureKind::CredentialRefused || kind == FailureKind::SignInExpired;
    const QString kept = QCoro::waitFor(rig.model->credentialStore().readCredential());
    QCOMPARE(kept, refused ? QString() : credential);
}

void tst_PackagePipeline::hostileInputStaysContained_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message"); // empty: unpacks, with nothing outside the cache
    QTest::addColumn<bool>("archiveFetched");
    QTest::addColumn<QStringList>("downloadsLeft"); // a refused archive is removed as well

    const QString unsafeFileName = QStringLiteral("授权服务返回的插件文件名不安全，已拒绝下载。");
    const QString unsafeVersion = QStringLiteral("授权服务返回的插件版本号不安全，已拒绝下载。");
    const QString invalidAddress = QStringLiteral("授权服务返回的插件下载地址无效，已拒绝下载。");
    const QString malformedAnswer = QStringLiteral("授权服务响应格式异常。");
    const QStringList none;
    QTest::newRow("../ in file name") << QStringList{"--descriptor-file-name", "../evil.zip"} << unsafeFileName
                                      << false << none;
    QTest::newRow("absolute file name") << QStringList{"--descriptor-file-name", "/tmp/evil.zip"} << unsafeFileName
                                        << false << none;
    QTest::newRow("file name of a temporary") << QStringList{"--descriptor-file-name", ".download-X"}
                                              << unsafeFileName << false << none;
    QTest::newRow("../ in version") << QStringList{"--descriptor-version", "1.0/../x"}
                                    << QStringLiteral("授权服务返回的插件版本号不安全，已拒绝下载。") << false << none;
    QTest::newRow("../ entries in the archive") << QStringList{"--layout", "dotdot"} << QStringLiteral("插件包含有指向包外的文件路径，已拒绝安装，请重新下载。") << true
                                                << none;
    QTest::newRow("empty archive") << QStringList{"--layout", "empty"} << incompletePackage << true << none;
    QTest::newRow("not an archive") << QStringList{"--layout", "not-zip"} << incompletePackage << true << none;
    QTest::newRow("file name of 5000 characters") << QStringList{"--descriptor-file-name", QString(4996, u'a') + ".zip"}
                                                  << unsafeFileName << false << none;
    QTest::newRow("version of 300 characters") << QStringList{"--descriptor-version", QString(300, u'1')}
                                               << unsafeVersion << false << none;
    const QString longestName = QString(251, u'a') + QStringLiteral(".zip");
    QTest::newRow("file name of 255 bytes") << QStringList{"--descriptor-file-name", longestName} << QString() << true
                                            << QStringList{longestName};
    QTest::newRow("file:// address") << QStringList{"--download-url", "file:///etc/passwd"} << invalidAddress << false
                                     << none;
    QTest::newRow("ftp:// address") << QStringList{"--download-url", "ftp://127.0.0.1/a.zip"} << invalidAddress
                                    << false << none;
    QTest::newRow("address without host") << QStringList{"--download-url", "http:///a.zip"} << invalidAddress << false
                                          << none;
    QTest::newRow("redirect to file://") << QStringList{"--redirect-archive", "file:///etc/passwd"}
                                         << QStringLiteral("不支持的 URL。") << true << none;
    QTest::newRow("sha256 of 63 digits") << QStringList{"--descriptor-sha256", QString(63, u'a')} << checksumMismatch
                                         << false << none;
    QTest::newRow("sha256 not hexadecimal") << QStringList{"--descriptor-sha256", QString(64, u'g')} << checksumMismatch
                                            << false << none;
    QTest::newRow("endless release answer") << QStringList{"--endless-answer", "latest"} << malformedAnswer << false
                                            << none;
    QTest::newRow("endless token answer") << QStringList{"--endless-answer", "token"} << malformedAnswer << false
                                          << none;
    QTest::newRow("answers of 8 MiB") << QStringList{"--answer-pad-mb", "8"} << malformedAnswer << false << none;
    // What arrived is kept for the next attempt (see droppedDownloadResumes), never under the archive's name.
    QTest::newRow("connection dropped halfway")
        << QStringList{"--drop-connection", "--pad-mb", "2"} << QStringLiteral("网络连接已中断。") << true
        << QStringList{".partial-CorvantaAnalysis_1.4.2.zip", ".partial-CorvantaAnalysis_1.4.2.zip.json"};
    // On a disk of three files the archive stays for the next attempt.
    QTest::newRow("disk fills while unpacking") << QStringList{}
        << QStringLiteral("磁盘空间不足：无法继续写入“CACHE”，请清理磁盘后重试。")
        << true << QStringList{archiveName};
}

void tst_PackagePipeline::hostileInputStaysContained()
{
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    QFETCH(bool, archiveFetched);
    QFETCH(QStringList, downloadsLeft);
    PipelineRig rig(options);
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    QVERIFY(rig.signIn());
    rig.model->appendLog(QStringLiteral("开始"));
    const QStringList before = treeOutsidePipeline();
    const QString cache = ToolPaths::pluginPackageCacheDir();
    const bool smallDisk = QByteArrayView(QTest::currentDataTag()) == "disk fills while unpacking";
    if (smallDisk && ::geteuid() != 0)
        QSKIP("a small disk over the cache needs root (mount, in the suite's own namespace)");
    if (smallDisk) {
        QVERIFY(QDir().mkpath(cache));
        QCOMPARE(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m,nr_inodes=3", "tmpfs", cache}), 0);
    }
    const auto unmount = qScopeGuard([&] {
        if (smallDisk)
            QProcess::execute("umount", {cache});
    });

    const Outcome outcome = rig.run();
    QCOMPARE(outcome.description(), QString(message).replace("CACHE", cache));
    QCOMPARE(treeOutsidePipeline(), before);
    const qsizetype fetches = rig.service.requests().filter(QStringLiteral("GET /downloads/")).size();
    // Qt itself sends an idempotent GET again (twice at most) when the connection closes before it
    // began to read the answer, which a loaded machine can make happen.
    if (options.contains(QStringLiteral("--drop-connection")))
        QVERIFY2(fetches >= 1 && fetches <= 3, qPrintable(QString::number(fetches)));
    else
        QCOMPARE(fetches, archiveFetched ? 1 : 0);
    QCOMPARE(entries(ToolPaths::pluginPackageDownloadDir()), downloadsLeft);
    QCOMPARE(entries(cache), message.isEmpty() ? QStringList{packageName} : QStringList());
    if (!archiveFetched)
        QVERIFY(logMessages().filter(QStringLiteral("开始下载插件包")).isEmpty());
}

void tst_PackagePipeline::sameVersionAgainReplacesPackageAndArchive()
{
    PipelineRig rig({});
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    QVERIFY(rig.signIn());
    const Outcome first = rig.run();
    QCOMPARE(first.description(), QString());
    const QString archive = ToolPaths::pluginPackageDownloadDir() + QLatin1Char('/') + archiveName;
    const QString goodDigest = sha256File(archive);
    makeEntry(first.value->directory + QStringLiteral("/stale.txt"), false);
    QFile spoiled(archive);
    QVERIFY(spoiled.open(QIODevice::Append));
    spoiled.write("tail");
    spoiled.close();

    const Outcome second = rig.run();
    QCOMPARE(second.description(), QString());
    QCOMPARE(second.value->directory, first.value->directory);
    QVERIFY(!QFile::exists(second.value->directory + QStringLiteral("/stale.txt")));
    QVERIFY(QFile::exists(second.value->directory + QStringLiteral("/app/index.html")));
    QCOMPARE(sha256File(archive), goodDigest);
}

// A download that fails its checksum must not cost the archive that is already there.
void tst_PackagePipeline::badDownloadKeepsGoodArchive()
{
    ScratchHome home;
    const QString archive = ToolPaths::pluginPackageDownloadDir() + QLatin1Char('/') + archiveName;
    QString goodDigest;
    {
        StandinService service;
        QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
        AuthToolModel model{ClientAuthAPI(service.baseUrl())};
        QCoro::waitFor(model.credentialStore().storeCredential(StandinService::validCredential));
        QCOMPARE(awaitOutcome(downloadThrough(model)).description(), QString());
        goodDigest = sha256File(archive);
    }
    StandinService badService({"--wrong-sha256"});
    QVERIFY2(badService.isRunning(), qPrintable(badService.errorOutput()));
    AuthToolModel model{ClientAuthAPI(badService.baseUrl())};
    QCOMPARE(awaitOutcome(downloadThrough(model)).description(), checksumMismatch);
    QCOMPARE(entries(ToolPaths::pluginPackageDownloadDir()), QStringList{archiveName});
    QCOMPARE(sha256File(archive), goodDigest);
    QCOMPARE(entries(ToolPaths::pluginPackageCacheDir()), QStringList{packageName});
}

void tst_PackagePipeline::pruningKeepsOtherNames()
{
    PipelineRig rig({});
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    QVERIFY(rig.signIn());
    const QString cache = ToolPaths::pluginPackageCacheDir();
    const QString downloads = ToolPaths::pluginPackageDownloadDir();
    makeEntry(cache + QStringLiteral("/CorvantaAnalysis_1.0/ribbon.xml"), false);
    makeEntry(cache + QStringLiteral("/CorvantaAnalysis_1.1"), true);
    makeEntry(cache + QStringLiteral("/.extract-LEFTOVER"), true);
    makeEntry(cache + QStringLiteral("/notes"), true);
    makeEntry(downloads + QStringLiteral("/CorvantaAnalysis_1.0.zip"), false);
    makeEntry(downloads + QStringLiteral("/.download-LEFTOVER"), false);
    makeEntry(downloads + QStringLiteral("/release.zip"), false);

    QCOMPARE(rig.run().description(), QString());
    QCOMPARE(entries(cache), (QStringList{packageName, QStringLiteral("notes")}));
    QCOMPARE(entries(downloads), (QStringList{archiveName, QStringLiteral("release.zip")}));
    QStringList pruned = logMessages().filter(QStringLiteral("已清理旧"));
    pruned.sort();
    QCOMPARE(pruned, (QStringList{
                         QStringLiteral("已清理旧下载包：.download-LEFTOVER"),
                         QStringLiteral("已清理旧下载包：CorvantaAnalysis_1.0.zip"),
                         QStringLiteral("已清理旧插件缓存：.extract-LEFTOVER"),
                         QStringLiteral("已清理旧插件缓存：CorvantaAnalysis_1.0"),
                         QStringLiteral("已清理旧插件缓存：CorvantaAnalysis_1.1"),
                     }));
}

void tst_PackagePipeline::latestCachedPackage()
{
    PipelineRig rig({});
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    QVERIFY(!PackageDirectory::latestCachedPluginPackage());
    QVERIFY(!QFileInfo::exists(ToolPaths::pluginPackageCacheDir()));
    QVERIFY(rig.signIn());
    const Outcome outcome = rig.run();
    QCOMPARE(outcome.description(), QString());
    QCOMPARE(PackageDirectory::latestCachedPluginPackage(), outcome.value);
}

void tst_PackagePipeline::progressMovesAndResets()
{
    PipelineRig rig({"--pad-mb", "8"});
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    QVERIFY(rig.signIn());
    QSignalSpy received(rig.model.get(), &AuthToolModel::downloadBytesReceivedChanged);
    QSignalSpy expected(rig.model.get(), &AuthToolModel::downloadBytesExpectedChanged);

    QCOMPARE(rig.run().description(), QString());
    const qint64 size = QFileInfo(ToolPaths::pluginPackageDownloadDir() + QLatin1Char('/') + archiveName).size();
    QVERIFY(size > 8 * 1024 * 1024);
    QVERIFY2(received.size() > 2, "progress is published while the body arrives");
    QCOMPARE(received.at(received.size() - 2).first().toLongLong(), size);
    QCOMPARE(received.last().first().toLongLong(), 0);
    QVERIFY(expected.contains(QVariantList{size}));
    QCOMPARE(expected.last().first().toLongLong(), 0);
}

void tst_PackagePipeline::modelGoneMidDownloadLeavesNoFile()
{
    PipelineRig rig({"--pad-mb", "32"});
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    QVERIFY(rig.signIn());
    AuthToolModel *model = rig.model.release();
    connect(model, &AuthToolModel::downloadBytesReceivedChanged, model, [model](qint64 bytes) {
        if (bytes > 0)
            model->deleteLater();
    });

    const Outcome outcome = awaitOutcome(downloadThrough(*model));
    QCOMPARE(outcome.description(), QStringLiteral("已取消。"));
    QCOMPARE(entries(ToolPaths::pluginPackageDownloadDir()), QStringList());
    QCOMPARE(entries(ToolPaths::pluginPackageCacheDir()), QStringList());
}

// A server sending a byte every 100 ms never trips the inactivity timeout; the low-speed limit
// ends the download (here within a window of seconds instead of 60 s). Every window is judged on
// its own: a slow start shorter than a window is forgiven, a fast start does not excuse a trickle
// that follows it. Windows are long against the slow phases, so a loaded machine only adds margin.
void tst_PackagePipeline::tricklingDownloads_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("windowMs");
    QTest::addColumn<int>("inactivityMs"); // the transfer timeout
    QTest::addColumn<QString>("expected");

    const QString timedOut = QStringLiteral("请求超时。");
    QTest::newRow("trickling throughout") << QStringList{"--trickle-ms", "100"} << 2000 << 60000 << timedOut;
    // 64 KiB in the first window, then 10 bytes a second: stopped in a later window (the trickle
    // alone would take 10 s more).
    QTest::newRow("fast start, then a trickle")
        << QStringList{"--pad-mb", "1", "--trickle-ms", "100", "--trickle-from", "65536", "--trickle-bytes", "100"}
        << 1000 << 60000 << timedOut;
    // 1.5 s of trickle, then 1 MiB at once: the first window moved plenty.
    QTest::newRow("slow start, then fast")
        << QStringList{"--pad-mb", "1", "--trickle-ms", "100", "--trickle-bytes", "15"} << 4000 << 60000 << QString();
    // 4 s of a byte every 100 ms: every byte restarts the transfer timeout of 2 s.
    QTest::newRow("moving, longer than the transfer timeout")
        << QStringList{"--pad-mb", "1", "--trickle-ms", "100", "--trickle-bytes", "40"} << 60000 << 2000 << QString();
}

void tst_PackagePipeline::tricklingDownloads()
{
    QFETCH(QStringList, options);
    QFETCH(int, windowMs);
    QFETCH(int, inactivityMs);
    QFETCH(QString, expected);
    PipelineRig rig(options);
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    QVERIFY(rig.signIn());
    ServiceNetwork::setLowSpeedLimit(1024, std::chrono::milliseconds(windowMs));
    ServiceNetwork::setTransferTimeout(std::chrono::milliseconds(inactivityMs));
    const auto restore = qScopeGuard([] {
        ServiceNetwork::setLowSpeedLimit(ServiceNetwork::defaultLowSpeedLimit, ServiceNetwork::defaultLowSpeedTime);
        ServiceNetwork::setTransferTimeout(ServiceNetwork::defaultTransferTimeout);
    });

    QElapsedTimer clock;
    clock.start();
    const Outcome outcome = rig.run();
    qInfo("download ended after %lld ms", clock.elapsed());
    QCOMPARE(outcome.description(), expected);
    if (!expected.isEmpty()) {
        QCOMPARE(entries(ToolPaths::pluginPackageDownloadDir()), QStringList());
        QCOMPARE(entries(ToolPaths::pluginPackageCacheDir()), QStringList());
    }
}

// An install whose owner goes away mid-download (as closing the tool does) was wanted to stop:
// it ends cancelled, shows and logs nothing more, and leaves no partial archive.
void tst_PackagePipeline::cancelledDownloadShowsAndLogsNothing()
{
    PipelineRig rig({"--pad-mb", "32"});
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    QVERIFY(rig.signIn());
    AuthToolModel *model = rig.model.release();
    connect(model, &AuthToolModel::downloadBytesReceivedChanged, model, [model](qint64 bytes) {
        if (bytes > 0)
            model->deleteLater();
    });

    const OperationOutcome outcome = QCoro::waitFor(model->installOrRepairPlugin());
    QCOMPARE(outcome.result(), OperationOutcome::Result::Cancelled);
    QCOMPARE(logMessages(), (QStringList{QStringLiteral("开始安装或修复 WPS 插件"), QStringLiteral("开始下载插件包：1.4.2")}));
    QCOMPARE(entries(ToolPaths::pluginPackageDownloadDir()), QStringList());
}

void tst_PackagePipeline::droppedDownloadResumes_data()
{
    QTest::addColumn<QStringList>("laterOptions"); // empty: the same stand-in serves again
    QTest::addColumn<int>("ageHours"); // of the partial file before the retry
    QTest::addColumn<QString>("answerStart"); // the retry's archive answer before " sent=N"; %1: bytes kept
    QTest::addColumn<bool>("resumed");

    QTest::newRow("same archive: only the rest")
        << QStringList{} << 0 << QStringLiteral("status=206 range=bytes=%1- if-range=\"") << true;
    QTest::newRow("partial file older than a day")
        << QStringList{} << 25 << QStringLiteral("status=200 range=- if-range=- sent=") << false;
    // Its checksum differs from the one the partial file was fetched for: nothing of it is asked for.
    QTest::newRow("another archive behind the name")
        << QStringList{"--pad-mb", "2"} << 0 << QStringLiteral("status=200 range=- if-range=- sent=") << false;
}

// A transfer cut after 330000 bytes (about 30 % of the archive) keeps what reached the tool (all of
// it, or up to what the network layer held when the connection broke); the retry asks only for
// the rest when the server still has the same archive, and starts over otherwise. Either way the
// installed archive is the verified one and no partial file remains.
void tst_PackagePipeline::droppedDownloadResumes()
{
    QFETCH(QStringList, laterOptions);
    QFETCH(int, ageHours);
    QFETCH(QString, answerStart);
    QFETCH(bool, resumed);
    ScratchHome home;
    const QString downloads = ToolPaths::pluginPackageDownloadDir();
    const QString partial = downloads + QStringLiteral("/.partial-") + archiveName;
    auto first = std::make_unique<StandinService>(QStringList{"--pad-mb", "1", "--drop-after-bytes", "330000"});
    QVERIFY2(first->isRunning(), qPrintable(first->errorOutput()));
    {
        AuthToolModel model{ClientAuthAPI(first->baseUrl())};
        QCoro::waitFor(model.credentialStore().storeCredential(StandinService::validCredential));
        const Outcome dropped = awaitOutcome(downloadThrough(model));
        QVERIFY2(dropped.kind() == FailureKind::ServiceUnreachable, qPrintable(dropped.description()));
    }
    qInfo() << "dropped transfer:" << first->archiveAnswers();
    QCOMPARE(entries(downloads), (QStringList{QStringLiteral(".partial-CorvantaAnalysis_1.4.2.zip"),
                                              QStringLiteral(".partial-CorvantaAnalysis_1.4.2.zip.json")}));
    const qint64 kept = QFileInfo(partial).size();
    qInfo() << "bytes kept of the dropped transfer:" << kept;
    QVERIFY(kept > 0 && kept <= 330000);
    if (ageHours > 0) {
        QFile file(partial);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600 * ageHours), QFileDevice::FileModificationTime));
    }
    std::unique_ptr<StandinService> later;
    if (!laterOptions.isEmpty()) {
        first.reset();
        later = std::make_unique<StandinService>(laterOptions);
        QVERIFY2(later->isRunning(), qPrintable(later->errorOutput()));
    }
    StandinService &serving = later ? *later : *first;

    AuthToolModel model{ClientAuthAPI(serving.baseUrl())};
    QCoro::waitFor(model.credentialStore().storeCredential(StandinService::validCredential));
    QList<qint64> progress;
    connect(&model, &AuthToolModel::downloadBytesReceivedChanged, &model, [&progress](qint64 bytes) {
        if (bytes > 0)
            progress.append(bytes);
    });
    const Outcome retried = awaitOutcome(downloadThrough(model));
    QCOMPARE(retried.description(), QString());

    const QString archive = downloads + QLatin1Char('/') + archiveName;
    const qint64 size = QFileInfo(archive).size();
    const QString answer = serving.archiveAnswers().last();
    qInfo() << "retried transfer:" << answer << "of an archive of" << size << "bytes";
    QVERIFY2(answer.startsWith(answerStart.arg(kept)), qPrintable(answer));
    QVERIFY2(answer.endsWith(QStringLiteral(" sent=") + QString::number(resumed ? size - kept : size)), qPrintable(answer));
    QVERIFY(!progress.isEmpty());
    // The bar starts at what the partial file holds.
    if (resumed)
        QCOMPARE(progress.first(), kept);
    QCOMPARE(entries(downloads), QStringList{archiveName});
    QCOMPARE(entries(ToolPaths::pluginPackageCacheDir()), QStringList{packageName});
}

void tst_PackagePipeline::signedReleases_data()
{
    QTest::addColumn<QString>("signingKey"); // the stand-in's: empty, "vendor" or "stranger"
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message"); // empty: installs
    QTest::addColumn<QString>("installed"); // the add-in's version in WPS's folder; empty: none

    QTest::newRow("signed by the vendor") << QStringLiteral("vendor") << QStringList{} << QString() << QString();
    QTest::newRow("unsigned") << QString() << QStringList{}
                              << QStringLiteral("插件安装包没有厂商签名，无法确认来源，已拒绝安装。请稍后重试或联系厂商。") << QString();
    QTest::newRow("another key") << QStringLiteral("stranger") << QStringList{}
                                 << QStringLiteral("插件安装包的厂商签名无效，文件可能已被篡改，已拒绝安装。请联系厂商。") << QString();
    // The service names another archive by its checksum; the signature is still the genuine one's.
    QTest::newRow("another archive behind the checksum") << QStringLiteral("vendor") << QStringList{"--wrong-sha256"}
                                 << QStringLiteral("插件安装包的厂商签名无效，文件可能已被篡改，已拒绝安装。请联系厂商。") << QString();
    QTest::newRow("another version behind the signature") << QStringLiteral("vendor") << QStringList{"--descriptor-version", "1.4.3"}
        << QStringLiteral("插件安装包的厂商签名无效，文件可能已被篡改，已拒绝安装。请联系厂商。") << QString();
    QTest::newRow("an older signed release as the latest") << QStringLiteral("vendor") << QStringList{"--latest", "1.3.0"}
        << QStringLiteral("提供的插件版本 1.3.0 低于已安装的版本 1.4.2，为防止回退到旧版本，已拒绝安装。已安装的版本不受影响，仍可用同一版本修复。")
        << QStringLiteral("1.4.2");
    QTest::newRow("the installed version again") << QStringLiteral("vendor") << QStringList{} << QString()
                                                 << QStringLiteral("1.4.2");
}

// A pipeline holding the vendor's public key, as a build with CORVANTA_RELEASE_PUBLIC_KEYS does,
// against the stand-in signing with the key the row names: a refused release fetches nothing.
void tst_PackagePipeline::signedReleases()
{
    QFETCH(QString, signingKey);
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    QFETCH(QString, installed);
    QTemporaryDir keys;
    QStringList publicKeys;
    for (const QString &name : {QStringLiteral("vendor"), QStringLiteral("stranger")}) {
        const QString pem = keys.filePath(name + QStringLiteral(".pem"));
        QCOMPARE(QProcess::execute(QStringLiteral("openssl"), {"genpkey", "-algorithm", "ed25519", "-out", pem}), 0);
        QProcess publicKey;
        publicKey.start(QStringLiteral("openssl"), {"pkey", "-in", pem, "-pubout", "-outform", "DER"});
        QVERIFY(publicKey.waitForFinished());
        publicKeys.append(QString::fromLatin1(publicKey.readAllStandardOutput().right(32).toBase64()));
    }
    if (!signingKey.isEmpty())
        options << QStringLiteral("--signing-key") << keys.filePath(signingKey + QStringLiteral(".pem"));
    PipelineRig rig(options);
    QVERIFY2(rig.service.isRunning(), qPrintable(rig.service.errorOutput()));
    QVERIFY(rig.signIn());
    if (!installed.isEmpty())
        FakeWpsAddons().installTypical(installed);

    const PackagePipeline pipeline(ClientAuthAPI(rig.service.baseUrl()), rig.model->credentialStore(),
                                   QPointer<QObject>(rig.model.get()), {}, ReleaseSignatureVerifier({publicKeys.first()}));
    const Outcome outcome = awaitOutcome(pipeline.downloadAuthorizedPluginPackage());
    QCOMPARE(outcome.description(), message);
    const bool fetched = !rig.service.requests().filter(QStringLiteral("GET /downloads/")).isEmpty();
    QCOMPARE(fetched, message.isEmpty());
    QCOMPARE(entries(ToolPaths::pluginPackageCacheDir()), message.isEmpty() ? QStringList{packageName} : QStringList());
    QCOMPARE(entries(ToolPaths::pluginPackageDownloadDir()), message.isEmpty() ? QStringList{archiveName} : QStringList());
}

QTEST_GUILESS_MAIN(tst_PackagePipeline)
#include "tst_packagepipeline.moc"
