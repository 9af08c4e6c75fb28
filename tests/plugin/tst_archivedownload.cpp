#include "plugin/ArchiveDownload.h"
#include "core/Failure.h"
#include "core/FailureClass.h"
#include "service/ServiceNetwork.h"
#include "core/UrlErrorCode.h"

#include "ScriptedHttpServer.h"
#include "TaskOutcome.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>

using namespace std::chrono_literals;

namespace {

const QByteArray body = QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0') + QByteArray(300000, 'z');

QString digestOf(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_ArchiveDownload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void answers_data();
    void answers();
    void transferFailuresLeaveNoFile_data();
    void transferFailuresLeaveNoFile();
    void directoryInTheWayIsReplaced();
    void uncreatableDownloadDirectory();
    void fileSystemRefusesTheBody_data();
    void fileSystemRefusesTheBody();
    void partialFileIsResumedOrDropped_data();
    void partialFileIsResumedOrDropped();

private:
    ArchiveDownload::Request request(const QUrl &url, const QString &sha256) const
    {
        return {url, m_downloads, QStringLiteral("CorvantaAnalysis_2.0.zip"), sha256};
    }
    QString destination() const { return m_downloads + QStringLiteral("/CorvantaAnalysis_2.0.zip"); }

    std::optional<QTemporaryDir> m_dir;
    QString m_downloads;
};

void tst_ArchiveDownload::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    m_downloads = m_dir->filePath(QStringLiteral("support/downloads"));
}

void tst_ArchiveDownload::cleanup()
{
    ServiceNetwork::setTransferTimeout(ServiceNetwork::defaultTransferTimeout);
}

void tst_ArchiveDownload::answers_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<FailureKind>("kind"); // Internal: saved
    QTest::addColumn<int>("chunks"); // the body in chunks without a length; -1: with its length
    QTest::addColumn<qint64>("announced"); // a length announced in place of the body's; -1: none

    using K = FailureKind;
    QTest::newRow("lower-case checksum") << 200 << digestOf(body) << K::Internal << -1 << -1LL;
    QTest::newRow("upper-case checksum") << 200 << digestOf(body).toUpper() << K::Internal << -1 << -1LL;
    QTest::newRow("other checksum") << 200 << digestOf("other") << K::ChecksumMismatch << -1 << -1LL;
    QTest::newRow("404") << 404 << digestOf(body) << K::DownloadRefused << -1 << -1LL;
    QTest::newRow("403") << 403 << digestOf(body) << K::DownloadRefused << -1 << -1LL;
    QTest::newRow("502") << 502 << digestOf(body) << K::DownloadRefused << -1 << -1LL;
    QTest::newRow("length past the cap") << 200 << digestOf(body) << K::DownloadTooLarge << -1 << body.size() + 1LL;
    QTest::newRow("chunks up to the cap") << 200 << digestOf(body) << K::Internal << 1 << -1LL;
    QTest::newRow("chunks past the cap") << 200 << digestOf(body) << K::DownloadTooLarge << 2 << -1LL;
}

void tst_ArchiveDownload::answers()
{
    QFETCH(int, status);
    QFETCH(QString, sha256);
    QFETCH(FailureKind, kind);
    QFETCH(int, chunks);
    QFETCH(qint64, announced);
    const bool saved = kind == FailureKind::Internal;
    ScriptedHttpServer server;
    server.setReply({status, body, "application/zip", false, announced, {}, chunks});
    // What was there before must survive every failure.
    QVERIFY(QDir().mkpath(m_downloads));
    QFile previous(destination());
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write("previous archive");
    previous.close();
    QList<std::pair<qint64, qint64>> progress;
    const ArchiveDownload::ProgressHandler record = [&progress](qint64 received, qint64 expected) {
        progress.append({received, expected});
    };

    ArchiveDownload::Request asked = request(server.baseUrl().resolved(QUrl(QStringLiteral("/a.zip"))), sha256);
    asked.maxBytes = body.size(); // every row's body fits exactly
    const TaskOutcome<QString> outcome = awaitOutcome(ArchiveDownload::download(asked, record));
    QVERIFY2(saved == !outcome.exception, qPrintable(outcome.description()));
    QCOMPARE(outcome.kind(), kind);
    if (kind == FailureKind::DownloadRefused)
        QCOMPARE(outcome.description(), QStringLiteral("无法下载插件安装包：下载服务器返回 HTTP %1。请稍后重试；如果问题持续出现，请联系厂商。").arg(status));
    if (kind == FailureKind::DownloadTooLarge)
        QCOMPARE(outcome.description(), QStringLiteral("插件安装包过大（超过 2 GB），已停止下载。请稍后重试或联系厂商。"));
    QCOMPARE(QDir(m_downloads).entryList(QDir::Files | QDir::Hidden), QStringList{"CorvantaAnalysis_2.0.zip"});
    if (!saved) {
        QCOMPARE(contents(destination()), QByteArray("previous archive"));
        return;
    }
    QCOMPARE(*outcome.value, destination());
    QCOMPARE(contents(destination()), body);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last(), (std::pair<qint64, qint64>{body.size(), chunks < 0 ? body.size() : -1}));
}

void tst_ArchiveDownload::transferFailuresLeaveNoFile_data()
{
    QTest::addColumn<bool>("silentServer");
    QTest::addColumn<int>("code");

    QTest::newRow("no answer within the transfer timeout") << true << int(UrlErrorCode::TimedOut);
    QTest::newRow("nobody listening") << false << int(UrlErrorCode::CannotConnectToHost);
}

void tst_ArchiveDownload::transferFailuresLeaveNoFile()
{
    QFETCH(bool, silentServer);
    QFETCH(int, code);
    ServiceNetwork::setTransferTimeout(300ms);
    ScriptedHttpServer server;
    server.setReply({200, {}, "application/zip", true});
    const QUrl url = silentServer ? server.baseUrl() : QUrl(QStringLiteral("http://127.0.0.1:9/a.zip"));

    const TaskOutcome<QString> outcome = awaitOutcome(ArchiveDownload::download(request(url, digestOf(body))));
    const auto error = outcome.error<Failure>();
    QVERIFY2(error, qPrintable(outcome.description()));
    QCOMPARE(error->details().urlCode, code);
    QVERIFY(FailureClass::of(error->kind()).network);
    QCOMPARE(QDir(m_downloads).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void tst_ArchiveDownload::directoryInTheWayIsReplaced()
{
    ScriptedHttpServer server;
    server.setReply({200, body, "application/zip"});
    QVERIFY(QDir().mkpath(destination() + QStringLiteral("/inside")));

    const TaskOutcome<QString> outcome = awaitOutcome(ArchiveDownload::download(request(server.baseUrl(), digestOf(body))));
    QCOMPARE(outcome.description(), QString());
    QCOMPARE(contents(destination()), body);
}

void tst_ArchiveDownload::uncreatableDownloadDirectory()
{
    ScriptedHttpServer server;
    server.setReply({200, body, "application/zip"});
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("support"))));
    QFile blocker(m_downloads);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const TaskOutcome<QString> outcome = awaitOutcome(ArchiveDownload::download(request(server.baseUrl(), digestOf(body))));
    QCOMPARE(outcome.description(), QStringLiteral("无法创建下载目录“") + m_downloads + QStringLiteral("”：不是文件夹。"));
    QVERIFY(server.requests().isEmpty());
}

void tst_ArchiveDownload::fileSystemRefusesTheBody_data()
{
    QTest::addColumn<QByteArray>("mountOptions");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<QByteArray>("validator"); // what a resume would send as If-Range; empty: nothing kept
    QTest::addColumn<QString>("sentence"); // %1: the download directory
    const QString full = QStringLiteral("磁盘空间不足：无法继续写入“%1”，请清理磁盘后重试。");
    const QByteArray dates = "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\nDate: Sun, 06 Nov 1994 08:49:";
    QTest::newRow("disk full") << QByteArray("size=64k") << QByteArray() << QByteArray() << full;
    QTest::newRow("no room for a file") << QByteArray("size=64k,nr_inodes=1") << QByteArray() << QByteArray() << full;
    QTest::newRow("disk full, strong ETag") << QByteArray("size=64k") << QByteArray("ETag: \"v1\"\r\n") << QByteArray("\"v1\"") << full;
    QTest::newRow("disk full, weak ETag, older date") << QByteArray("size=64k") << "ETag: W/\"v1\"\r\n" + dates + "50 GMT\r\n" << QByteArray() << full;
    QTest::newRow("disk full, date a second older") << QByteArray("size=64k") << dates + "38 GMT\r\n" << QByteArray("Sun, 06 Nov 1994 08:49:37 GMT") << full;
    QTest::newRow("disk full, date of the same second") << QByteArray("size=64k") << dates + "37 GMT\r\n" << QByteArray() << full;
    QTest::newRow("read-only disk") << QByteArray("ro") << QByteArray() << QByteArray()
                                    << QStringLiteral("无法写入下载文件“%1/.download-*”（所在磁盘为只读），请检查磁盘空间和目录权限后重试。");
}

// A real small or read-only file system under the download directory, in a mount namespace of
// this thread's own (the download writes on this thread; the mounts never leave the test).
void tst_ArchiveDownload::fileSystemRefusesTheBody()
{
    QFETCH(QByteArray, mountOptions);
    QFETCH(QByteArray, headers);
    QFETCH(QByteArray, validator);
    QFETCH(QString, sentence);
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0
        || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        QSKIP("needs root for a mount namespace");
    QVERIFY(QDir().mkpath(m_downloads));
    const QByteArray target = QFile::encodeName(m_downloads);
    QCOMPARE(::mount("tmpfs", target.constData(), "tmpfs", 0, mountOptions.constData()), 0);
    const auto unmount = qScopeGuard([&target] { ::umount2(target.constData(), MNT_DETACH); });
    ScriptedHttpServer server;
    server.setReply({200, body.repeated(4), "application/zip", false, -1, headers});

    const TaskOutcome<QString> outcome =
        awaitOutcome(ArchiveDownload::download(request(server.baseUrl(), digestOf(body.repeated(4)))));
    QCOMPARE(outcome.description().replace(QRegularExpression("download-[-0-9A-F]{36}"), "download-*"), sentence.arg(m_downloads));
    const QString partial = m_downloads + QStringLiteral("/.partial-CorvantaAnalysis_2.0.zip");
    QCOMPARE(QDir(m_downloads).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), validator.isEmpty() ? 0 : 2);
    QCOMPARE(QJsonDocument::fromJson(contents(partial + ".json"))["validator"].toString().toLatin1(), validator);
}

void tst_ArchiveDownload::partialFileIsResumedOrDropped_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("sameChecksum"); // the sidecar's against the request's
    QTest::addColumn<int>("ageHours");
    QTest::addColumn<QList<QByteArray>>("ranges"); // Range header of each request, empty for none
    QTest::addColumn<FailureKind>("kind"); // Internal: saved
    QTest::addColumn<QByteArray>("headers");

    const QByteArray rest = body.mid(1000);
    using K = FailureKind;
    QTest::newRow("whole body instead of the rest (200)")
        << 200 << body << true << 0 << QList<QByteArray>{"bytes=1000-"} << K::Internal << QByteArray();
    // A 206 that does not say it starts at byte 1000 cannot be appended: asked again from zero (this
    // server then sends the same rest again, which the checksum refuses).
    QTest::newRow("206 without a matching Content-Range")
        << 206 << rest << true << 0 << QList<QByteArray>{"bytes=1000-", ""} << K::ChecksumMismatch << QByteArray();
    QTest::newRow("partial file of another release")
        << 200 << body << false << 0 << QList<QByteArray>{""} << K::Internal << QByteArray();
    QTest::newRow("partial file older than a day")
        << 200 << body << true << 25 << QList<QByteArray>{""} << K::Internal << QByteArray();
    // Status 0: a server that never answers; what was kept stays for the next attempt.
    QTest::newRow("no answer") << 0 << rest << true << 0 << QList<QByteArray>{"bytes=1000-"} << K::Timeout << QByteArray();
    QTest::newRow("refused") << 503 << rest << true << 0 << QList<QByteArray>{"bytes=1000-"} << K::DownloadRefused << QByteArray();
    // Same validator, but the range begins before the partial file's end: not appended.
    QTest::newRow("206 from elsewhere") << 206 << body.mid(500) << true << 0 << QList<QByteArray>{"bytes=1000-", ""} << K::ChecksumMismatch
                                        << "ETag: \"v1\"\r\nContent-Range: bytes 500-" + QByteArray::number(body.size() - 1) + "/"
            + QByteArray::number(body.size()) + "\r\n";
}

// A partial file with its sidecar, as a broken transfer leaves them; the server here answers every
// request alike, so what the download asks for shows in its requests.
void tst_ArchiveDownload::partialFileIsResumedOrDropped()
{
    QFETCH(int, status);
    QFETCH(QByteArray, reply);
    QFETCH(bool, sameChecksum);
    QFETCH(int, ageHours);
    QFETCH(QList<QByteArray>, ranges);
    QFETCH(FailureKind, kind);
    QFETCH(QByteArray, headers);
    ScriptedHttpServer server;
    server.setReply({status, reply, "application/zip", status == 0, -1, headers});
    ServiceNetwork::setTransferTimeout(1s);
    QVERIFY(QDir().mkpath(m_downloads));
    const QString partial = m_downloads + QStringLiteral("/.partial-CorvantaAnalysis_2.0.zip");
    QFile file(partial);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(body.left(1000));
    file.close();
    QFile sidecar(partial + QStringLiteral(".json"));
    QVERIFY(sidecar.open(QIODevice::WriteOnly));
    sidecar.write(QStringLiteral(R"({"validator":"\"v1\"","urlName":"a.zip","sha256":"%1"})")
                      .arg(sameChecksum ? digestOf(body) : digestOf("other"))
                      .toUtf8());
    sidecar.close();
    if (ageHours > 0) {
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600 * ageHours), QFileDevice::FileModificationTime));
        file.close();
    }

    const TaskOutcome<QString> outcome = awaitOutcome(
        ArchiveDownload::download(request(server.baseUrl().resolved(QUrl(QStringLiteral("/a.zip"))), digestOf(body))));
    QCOMPARE(outcome.kind(), kind);
    QList<QByteArray> sent;
    for (const ScriptedHttpServer::Request &each : server.requests()) {
        sent.append(each.headers.value("range"));
        if (!each.headers.value("range").isEmpty())
            QCOMPARE(each.headers.value("if-range"), QByteArray("\"v1\""));
    }
    QCOMPARE(sent, ranges);
    QCOMPARE(QDir(m_downloads).entryList(QDir::Files | QDir::Hidden).join(' '), kind == FailureKind::Internal ? "CorvantaAnalysis_2.0.zip"
             : kind == FailureKind::Timeout ? ".partial-CorvantaAnalysis_2.0.zip .partial-CorvantaAnalysis_2.0.zip.json" : "");
    QCOMPARE(contents(partial), kind == FailureKind::Timeout ? body.left(1000) : QByteArray());
    if (kind == FailureKind::Internal)
        QCOMPARE(contents(destination()), body);
}

QTEST_GUILESS_MAIN(tst_ArchiveDownload)
#include "tst_archivedownload.moc"
