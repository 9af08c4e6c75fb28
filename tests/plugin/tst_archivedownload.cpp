#include "plugin/ArchiveDownload.h"
#include "core/Failure.h"
#include "service/ServiceNetwork.h"
#include "core/UrlErrorCode.h"

#include "ScriptedHttpServer.h"
#include "TaskOutcome.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
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

    QTest::newRow("lower-case checksum") << 200 << digestOf(body) << FailureKind::Internal;
    QTest::newRow("upper-case checksum") << 200 << digestOf(body).toUpper() << FailureKind::Internal;
    QTest::newRow("other checksum") << 200 << digestOf("other") << FailureKind::ChecksumMismatch;
    QTest::newRow("404") << 404 << digestOf(body) << FailureKind::ServiceRefused;
    QTest::newRow("403") << 403 << digestOf(body) << FailureKind::ServiceRefused;
    QTest::newRow("502") << 502 << digestOf(body) << FailureKind::ServiceRefused;
}

void tst_ArchiveDownload::answers()
{
    QFETCH(int, status);
    QFETCH(QString, sha256);
    QFETCH(FailureKind, kind);
    const bool saved = kind == FailureKind::Internal;
    ScriptedHttpServer server;
    server.setReply({status, body, "application/zip"});
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

    const TaskOutcome<QString> outcome = awaitOutcome(
        ArchiveDownload::download(request(server.baseUrl().resolved(QUrl(QStringLiteral("/a.zip"))), sha256), record));
    QVERIFY2(saved == !outcome.exception, qPrintable(outcome.description()));
    QCOMPARE(outcome.kind(), kind);
    if (kind == FailureKind::ServiceRefused)
        QCOMPARE(outcome.error<Failure>()->details().httpStatus, status);
    QCOMPARE(QDir(m_downloads).entryList(QDir::Files | QDir::Hidden), QStringList{"CorvantaAnalysis_2.0.zip"});
    if (!saved) {
        QCOMPARE(contents(destination()), QByteArray("previous archive"));
        return;
    }
    QCOMPARE(*outcome.value, destination());
    QCOMPARE(contents(destination()), body);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last(), (std::pair<qint64, qint64>{body.size(), body.size()}));
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
    QVERIFY(isNetworkFailure(error->kind()));
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
    QTest::addColumn<QString>("reason");
    QTest::newRow("disk full") << QByteArray("size=64k") << QStringLiteral("磁盘空间不足");
    QTest::newRow("read-only disk") << QByteArray("ro") << QStringLiteral("所在磁盘为只读");
}

// A real small or read-only file system under the download directory, in a mount namespace of
// this thread's own (the download writes on this thread; the mounts never leave the test).
void tst_ArchiveDownload::fileSystemRefusesTheBody()
{
    QFETCH(QByteArray, mountOptions);
    QFETCH(QString, reason);
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0
        || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        QSKIP("needs root for a mount namespace");
    QVERIFY(QDir().mkpath(m_downloads));
    const QByteArray target = QFile::encodeName(m_downloads);
    QCOMPARE(::mount("tmpfs", target.constData(), "tmpfs", 0, mountOptions.constData()), 0);
    const auto unmount = qScopeGuard([&target] { ::umount2(target.constData(), MNT_DETACH); });
    ScriptedHttpServer server;
    server.setReply({200, body.repeated(4), "application/zip"});

    const TaskOutcome<QString> outcome =
        awaitOutcome(ArchiveDownload::download(request(server.baseUrl(), digestOf(body.repeated(4)))));
    const QString description = outcome.description();
    QVERIFY2(description.startsWith(QStringLiteral("无法写入下载文件“") + m_downloads + QStringLiteral("/.download-")),
             qPrintable(description));
    QVERIFY2(description.endsWith(QStringLiteral("”（") + reason + QStringLiteral("），请检查磁盘空间和目录权限后重试。")),
             qPrintable(description));
    QCOMPARE(QDir(m_downloads).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void tst_ArchiveDownload::partialFileIsResumedOrDropped_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("sameChecksum"); // the sidecar's against the request's
    QTest::addColumn<int>("ageHours");
    QTest::addColumn<QList<QByteArray>>("ranges"); // Range header of each request, empty for none
    QTest::addColumn<FailureKind>("kind"); // Internal: saved

    const QByteArray rest = body.mid(1000);
    using K = FailureKind;
    QTest::newRow("whole body instead of the rest (200)")
        << 200 << body << true << 0 << QList<QByteArray>{"bytes=1000-"} << K::Internal;
    // A 206 that does not say it starts at byte 1000 cannot be appended: asked again from zero (this
    // server then sends the same rest again, which the checksum refuses).
    QTest::newRow("206 without a matching Content-Range")
        << 206 << rest << true << 0 << QList<QByteArray>{"bytes=1000-", ""} << K::ChecksumMismatch;
    QTest::newRow("partial file of another release")
        << 200 << body << false << 0 << QList<QByteArray>{""} << K::Internal;
    QTest::newRow("partial file older than a day")
        << 200 << body << true << 25 << QList<QByteArray>{""} << K::Internal;
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
    ScriptedHttpServer server;
    server.setReply({status, reply, "application/zip"});
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
    QCOMPARE(QDir(m_downloads).entryList(QDir::Files | QDir::Hidden),
             kind == FailureKind::Internal ? QStringList{"CorvantaAnalysis_2.0.zip"} : QStringList());
    if (kind == FailureKind::Internal)
        QCOMPARE(contents(destination()), body);
}

QTEST_GUILESS_MAIN(tst_ArchiveDownload)
#include "tst_archivedownload.moc"
