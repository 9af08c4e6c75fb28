#include "StandinService.h"
#include "TaskOutcome.h"

#include "plugin/ArchiveDownload.h"
#include "core/Failure.h"
#include "service/ClientAuthAPI.h"
#include "service/ServiceNetwork.h"
#include "service/TransportFailure.h"

#include <QCryptographicHash>
#include <QFile>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;

namespace {

struct Download
{
    int status = 0;
    qint64 announcedLength = -1;
    QByteArray body;
    QUrl finalUrl;
    std::optional<Failure> error;
};

// A plain GET without headers, as the package download makes it.
Download download(const QUrl &url)
{
    std::unique_ptr<QNetworkReply> reply(ServiceNetwork::manager().get(QNetworkRequest(url)));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(30000);
    Download result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader); length.isValid())
        result.announcedLength = length.toLongLong();
    result.body = reply->readAll();
    result.finalUrl = reply->url();
    if (TransportFailure::isTransportFailure(*reply))
        result.error = TransportFailure::fromReply(*reply);
    return result;
}

QString sha256Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QStringList zipEntries(const QByteArray &archive)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("a.zip")));
    file.open(QIODevice::WriteOnly);
    file.write(archive);
    file.close();
    QProcess unzip;
    unzip.start(QStringLiteral("/usr/bin/unzip"), {QStringLiteral("-Z1"), file.fileName()});
    unzip.waitForFinished(30000);
    return QString::fromUtf8(unzip.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

PluginRelease tokenRelease(const ClientAuthAPI &api)
{
    const auto outcome = awaitOutcome(api.downloadToken(StandinService::validCredential, QStringLiteral("macos"), std::nullopt));
    if (!outcome.value)
        qFatal("the stand-in refused a valid download-token request");
    return *outcome.value;
}

} // namespace

class tst_StandinService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void releaseArchiveVerifiesAgainstItsDescriptor();
    void credentials_data();
    void credentials();
    void descriptorOptions_data();
    void descriptorOptions();
    void archiveLayouts_data();
    void archiveLayouts();
    void faults_data();
    void faults();
    void sitePages_data();
    void sitePages();
};

void tst_StandinService::releaseArchiveVerifiesAgainstItsDescriptor()
{
    StandinService service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    const ClientAuthAPI api(service.baseUrl());

    const auto latest = awaitOutcome(api.latestRelease(QStringLiteral("darwin")));
    QVERIFY(latest.value);
    QCOMPARE(latest.value->version, QStringLiteral("1.4.2"));
    QCOMPARE(latest.value->minManagerVersion, std::optional<QString>(QStringLiteral("0.1.2")));
    QVERIFY(!latest.value->downloadURL);

    const PluginRelease release = tokenRelease(api);
    QCOMPARE(release.version, latest.value->version);
    QCOMPARE(release.sha256, latest.value->sha256);
    QCOMPARE(release.fileName, std::optional<QString>(QStringLiteral("CorvantaAnalysis_1.4.2.zip")));
    QVERIFY(release.downloadURL);

    const Download archive = download(*release.downloadURL);
    QCOMPARE(archive.status, 200);
    QCOMPARE(sha256Hex(archive.body), release.sha256);
    const QStringList entries = zipEntries(archive.body);
    QVERIFY2(entries.contains(QStringLiteral("CorvantaAnalysis_1.4.2/ribbon.xml")), qPrintable(entries.join(' ')));
    QVERIFY(entries.contains(QStringLiteral("CorvantaAnalysis_1.4.2/app/index.html")));
    QVERIFY(entries.contains(QStringLiteral("CorvantaAnalysis_1.4.2/version.json")));

    // A download address is only good with a token the service issued.
    QUrl forged = *release.downloadURL;
    forged.setPath(QStringLiteral("/downloads/0/CorvantaAnalysis_1.4.2.zip"));
    QCOMPARE(download(forged).status, 403);

    const QStringList requests = service.requests();
    QVERIFY(requests.contains(QStringLiteral("GET ") + ClientAuthAPI::latestReleasePath
                              + QStringLiteral("?platform=darwin&channel=stable")));
    QVERIFY(requests.contains(QStringLiteral("POST ") + ClientAuthAPI::downloadTokenPath));
}

void tst_StandinService::credentials_data()
{
    QTest::addColumn<std::optional<QString>>("credential");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("refusal"); // empty: accepted
    using C = std::optional<QString>;
    QTest::newRow("valid") << C(StandinService::validCredential) << QStringList() << QString();
    QTest::newRow("extra valid") << C(QStringLiteral("mine")) << QStringList{QStringLiteral("--credential"), QStringLiteral("mine")}
                                 << QString();
    QTest::newRow("expired") << C(StandinService::expiredCredential) << QStringList()
                             << QStringLiteral("刷新凭证无效或过期，请重新登录。");
    QTest::newRow("unknown") << C(QStringLiteral("guess")) << QStringList() << QStringLiteral("登录凭证无效，请重新登录。");
    QTest::newRow("none") << C() << QStringList() << QStringLiteral("本机保存的登录凭证已失效，请重新登录。");
}

void tst_StandinService::credentials()
{
    QFETCH(std::optional<QString>, credential);
    QFETCH(QStringList, options);
    QFETCH(QString, refusal);
    StandinService service(options);
    QVERIFY(service.isRunning());
    const QJsonObject body{{QStringLiteral("platform"), QStringLiteral("macos")},
                           {QStringLiteral("channel"), QStringLiteral("stable")},
                           {QStringLiteral("managerVersion"), QStringLiteral("0.1.3")}};
    const auto outcome = awaitOutcome(ClientAuthAPI(service.baseUrl()).post(ClientAuthAPI::downloadTokenPath, body, credential));
    if (refusal.isEmpty()) {
        QVERIFY(outcome.value && outcome.value->data);
        return;
    }
    const auto error = outcome.error<Failure>();
    QVERIFY(error);
    QVERIFY(error->kind() == FailureKind::SignInExpired || error->kind() == FailureKind::CredentialRefused);
    QCOMPARE(error->sentence(), refusal);
}

void tst_StandinService::descriptorOptions_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected"); // "<absent>", "<true sha>", "<upper sha>", "<other sha>" or the text

    QTest::newRow("latest 1.3.0") << QStringList{QStringLiteral("--latest"), QStringLiteral("1.3.0")} << QStringLiteral("version")
                                  << QStringLiteral("1.3.0");
    QTest::newRow("min manager version") << QStringList{QStringLiteral("--min-manager-version"), QStringLiteral("9.9")}
                                         << QStringLiteral("minManagerVersion") << QStringLiteral("9.9");
    QTest::newRow("min manager version left out") << QStringList{QStringLiteral("--min-manager-version"), QString()}
                                                  << QStringLiteral("minManagerVersion") << QStringLiteral("<absent>");
    QTest::newRow("no file name") << QStringList{QStringLiteral("--no-file-name")} << QStringLiteral("fileName")
                                  << QStringLiteral("<absent>");
    QTest::newRow("no download url") << QStringList{QStringLiteral("--no-download-url")} << QStringLiteral("downloadURL")
                                     << QStringLiteral("<absent>");
    QTest::newRow("true sha") << QStringList() << QStringLiteral("sha256") << QStringLiteral("<true sha>");
    QTest::newRow("upper-case sha") << QStringList{QStringLiteral("--upper-case-sha")} << QStringLiteral("sha256")
                                    << QStringLiteral("<upper sha>");
    QTest::newRow("wrong sha") << QStringList{QStringLiteral("--wrong-sha256")} << QStringLiteral("sha256")
                               << QStringLiteral("<other sha>");
    QTest::newRow("hostile file name") << QStringList{QStringLiteral("--descriptor-file-name"), QStringLiteral("../evil.zip")}
                                       << QStringLiteral("fileName") << QStringLiteral("../evil.zip");
    QTest::newRow("hostile version") << QStringList{QStringLiteral("--descriptor-version"), QStringLiteral("1.0/../x")}
                                     << QStringLiteral("version") << QStringLiteral("1.0/../x");
}

void tst_StandinService::descriptorOptions()
{
    QFETCH(QStringList, options);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    StandinService service(options);
    QVERIFY2(service.isRunning(), qPrintable(service.errorOutput()));
    const PluginRelease release = tokenRelease(ClientAuthAPI(service.baseUrl()));

    std::optional<QString> actual;
    if (field == QLatin1String("version"))
        actual = release.version;
    else if (field == QLatin1String("minManagerVersion"))
        actual = release.minManagerVersion;
    else if (field == QLatin1String("fileName"))
        actual = release.fileName;
    else if (field == QLatin1String("downloadURL") && release.downloadURL)
        actual = release.downloadURL->toString();
    else if (field == QLatin1String("sha256"))
        actual = release.sha256;

    if (expected == QLatin1String("<absent>")) {
        QVERIFY(!actual);
    } else if (expected.endsWith(QLatin1String(" sha>"))) {
        const QString truth = sha256Hex(download(*release.downloadURL).body);
        if (expected == QLatin1String("<true sha>"))
            QCOMPARE(*actual, truth);
        else if (expected == QLatin1String("<upper sha>"))
            QCOMPARE(*actual, truth.toUpper());
        else
            QVERIFY(actual->compare(truth, Qt::CaseInsensitive) != 0);
    } else {
        QCOMPARE(actual, std::optional<QString>(expected));
    }
}

void tst_StandinService::archiveLayouts_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("missing");
    const QString folder = QStringLiteral("CorvantaAnalysis_1.4.2/");
    QTest::newRow("top level") << QStringList{QStringLiteral("--layout"), QStringLiteral("top")}
                               << QStringList{QStringLiteral("ribbon.xml"), QStringLiteral("app/index.html")}
                               << QStringList{folder + QStringLiteral("ribbon.xml")};
    QTest::newRow("two folders") << QStringList{QStringLiteral("--layout"), QStringLiteral("two-folders")}
                                 << QStringList{QStringLiteral("CorvantaAnalysis_docs/说明.txt"), folder + QStringLiteral("ribbon.xml")}
                                 << QStringList();
    QTest::newRow("missing index") << QStringList{QStringLiteral("--layout"), QStringLiteral("missing-index")}
                                   << QStringList{folder + QStringLiteral("ribbon.xml")}
                                   << QStringList{folder + QStringLiteral("app/index.html")};
    QTest::newRow("dot dot") << QStringList{QStringLiteral("--layout"), QStringLiteral("dotdot")}
                             << QStringList{QStringLiteral("../corvanta-escaped.txt"), folder + QStringLiteral("../../corvanta-escaped-deeper.txt")}
                             << QStringList();
    QTest::newRow("padded") << QStringList{QStringLiteral("--pad-mb"), QStringLiteral("2")}
                            << QStringList{folder + QStringLiteral("app/assets/padding.bin")} << QStringList();
    QTest::newRow("empty") << QStringList{QStringLiteral("--layout"), QStringLiteral("empty")} << QStringList()
                           << QStringList{folder + QStringLiteral("ribbon.xml")};
}

void tst_StandinService::archiveLayouts()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, present);
    QFETCH(QStringList, missing);
    StandinService service(options);
    QVERIFY(service.isRunning());
    const PluginRelease release = tokenRelease(ClientAuthAPI(service.baseUrl()));
    const Download archive = download(*release.downloadURL);
    QCOMPARE(archive.status, 200);
    QCOMPARE(sha256Hex(archive.body), release.sha256);
    const QStringList entries = zipEntries(archive.body);
    for (const QString &entry : present)
        QVERIFY2(entries.contains(entry), qPrintable(entry));
    for (const QString &entry : missing)
        QVERIFY2(!entries.contains(entry), qPrintable(entry));
    if (present.isEmpty())
        QCOMPARE(archive.body.size(), 22); // nothing but the end of the central directory
}

void tst_StandinService::faults_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("step"); // latest, token, archive
    QTest::addColumn<QString>("expected");
    QTest::newRow("latest 503") << QStringList{QStringLiteral("--status"), QStringLiteral("latest=503")} << QStringLiteral("latest")
                                << QStringLiteral("授权服务暂时不可用，请稍后重试；如果问题持续出现，请重新登录后再试。");
    QTest::newRow("token 500") << QStringList{QStringLiteral("--status"), QStringLiteral("token=500")} << QStringLiteral("token")
                               << QStringLiteral("授权服务暂时不可用，请稍后重试；如果问题持续出现，请重新登录后再试。");
    QTest::newRow("archive 404") << QStringList{QStringLiteral("--status"), QStringLiteral("archive=404")}
                                 << QStringLiteral("archive") << QStringLiteral("404");
    QTest::newRow("dropped archive") << QStringList{QStringLiteral("--drop-connection"), QStringLiteral("--pad-mb"), QStringLiteral("1")}
                                     << QStringLiteral("archive") << QStringLiteral("-1005");
    QTest::newRow("slow service") << QStringList{QStringLiteral("--slow-ms"), QStringLiteral("1500")} << QStringLiteral("latest")
                                  << QStringLiteral("-1001");
}

void tst_StandinService::faults()
{
    QFETCH(QStringList, options);
    QFETCH(QString, step);
    QFETCH(QString, expected);
    StandinService service(options);
    QVERIFY(service.isRunning());
    ServiceNetwork::setTransferTimeout(300ms);
    const auto restore = qScopeGuard([] { ServiceNetwork::setTransferTimeout(ServiceNetwork::defaultTransferTimeout); });
    const ClientAuthAPI api(service.baseUrl());

    if (step == QLatin1String("archive")) {
        const Download archive = download(*tokenRelease(api).downloadURL);
        if (archive.error) {
            QCOMPARE(QString::number(archive.error->details().urlCode), expected);
            QVERIFY(isNetworkError(*archive.error));
        } else if (archive.announcedLength >= 0 && archive.body.size() < archive.announcedLength) {
            // Qt does not always notice a body cut short after the headers and may report success;
            // the archive download compares the length itself and reports the lost connection.
            QTemporaryDir downloads;
            const auto outcome = awaitOutcome(ArchiveDownload::download(
                {*tokenRelease(api).downloadURL, downloads.path(), QStringLiteral("a.zip"), QString(64, u'0')}));
            QVERIFY(outcome.error<Failure>());
            QCOMPARE(QString::number(outcome.error<Failure>()->details().urlCode), expected);
        } else {
            QCOMPARE(QString::number(archive.status), expected);
        }
        return;
    }
    const auto outcome = step == QLatin1String("latest")
        ? awaitOutcome(api.latestRelease(QStringLiteral("darwin")))
        : awaitOutcome(api.downloadToken(StandinService::validCredential, QStringLiteral("macos"), std::nullopt));
    QVERIFY(!outcome.value);
    const auto failure = outcome.error<Failure>();
    QVERIFY(failure);
    if (failure->details().urlCode != 0)
        QCOMPARE(QString::number(failure->details().urlCode), expected);
    else
        QCOMPARE(failure->sentence(), expected);
}

void tst_StandinService::sitePages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("finalPath");
    for (const char *path : {"/pricing", "/settings/billing", "/settings/payments", "/settings/credits", "/settings/apikeys",
                             "/settings/ai-config", "/grouping-chat"})
        QTest::newRow(path) << QString::fromLatin1(path) << QString::fromLatin1(path);
    QTest::newRow("site root redirects") << QStringLiteral("/") << QStringLiteral("/pricing");
}

void tst_StandinService::sitePages()
{
    QFETCH(QString, path);
    QFETCH(QString, finalPath);
    StandinService service;
    QVERIFY(service.isRunning());
    const Download page = download(ClientAuthAPI(service.baseUrl()).webURL(path));
    QCOMPARE(page.status, 200);
    QCOMPARE(page.finalUrl.path(), finalPath);
    const QString html = QString::fromUtf8(page.body);
    QVERIFY(html.contains(QStringLiteral("<body><div class=\"flex min-h-screen flex-col\">"
                                         "<header class=\"fixed inset-x-0 top-0 z-50\">")));
    QVERIFY(html.contains(QStringLiteral("</header><main>")));
    QVERIFY(html.contains(QStringLiteral("</main><footer>")));
    QVERIFY(html.contains(QStringLiteral("</footer></div></body>")));
    QVERIFY(html.contains(QStringLiteral("lang=\"zh-CN\"")));
}

QTEST_GUILESS_MAIN(tst_StandinService)
#include "tst_standinservice.moc"
