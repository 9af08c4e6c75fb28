#include "StandinServer.h"

#include "SitePages.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QLocale>
#include <QRandomGenerator>
#include <QUrlQuery>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

namespace {

const char jsonType[] = "application/json; charset=utf-8";
const char endlessStart[] = R"({"code":0,"message":"ok","data":{"version":"1.4.2","padding":")";

void answerJson(httplib::Response &response, int status, const QJsonObject &body)
{
    response.status = status;
    response.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(), jsonType);
}

QJsonObject refusalBody(const QString &message, const QString &reason)
{
    return {{QStringLiteral("code"), 400},
            {QStringLiteral("message"), message},
            {QStringLiteral("reason"), reason}};
}

QString text(const std::string &value)
{
    return QString::fromStdString(value);
}

const QString sessionCookie = QStringLiteral("corvanta_session");
const QString demoAccount = QStringLiteral("demo@corvanta.test");
const QString demoPassword = QStringLiteral("corvanta-demo");

QString randomHex(int words)
{
    QString result;
    for (int i = 0; i < words; ++i)
        result += QStringLiteral("%1").arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    return result;
}

void answerPage(httplib::Response &response, const QByteArray &html)
{
    // Pages that carry sign-in state are not for any cache.
    response.set_header("Cache-Control", "no-store");
    response.set_content(html.toStdString(), "text/html; charset=utf-8");
}

bool isKnownPlatform(const QString &platform)
{
    return platform == QLatin1String("darwin") || platform == QLatin1String("macos");
}

} // namespace

StandinServer::StandinServer(const StandinOptions &options, const ReleaseCatalog &catalog)
    : m_options(options)
    , m_catalog(catalog)
    , m_startedAt(QLocale::c()
                      .toString(QDateTime::currentDateTimeUtc(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
                      .toStdString())
{
    // One request per connection: no idle keep-alive connection holds up a stop.
    m_server.set_keep_alive_max_count(1);
    m_server.set_pre_routing_handler([](const httplib::Request &request, httplib::Response &) {
        std::printf("request: %s %s\n", request.method.c_str(), request.target.c_str());
        std::fflush(stdout);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    addApiRoutes();
    addArchiveRoute();
    addPageRoutes();
    addAccountRoutes();
}

int StandinServer::bind(int port)
{
    const std::string host = m_options.host.toStdString();
    if (port == 0)
        port = m_server.bind_to_any_port(host);
    else if (!m_server.bind_to_port(host, port))
        port = -1;
    if (port > 0)
        m_baseUrl = QStringLiteral("http://%1:%2").arg(m_options.host).arg(port);
    return port;
}

bool StandinServer::run()
{
    return m_server.listen_after_bind();
}

void StandinServer::stop()
{
    m_server.stop();
}

bool StandinServer::answeredByFault(const QString &endpoint, httplib::Response &response) const
{
    if (m_options.slowMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.slowMs));
    if (m_options.endlessEndpoints.contains(endpoint)) {
        // A valid start, then padding until the client gives up.
        response.set_chunked_content_provider(jsonType, [](size_t offset, httplib::DataSink &sink) {
            if (offset == 0)
                return sink.write(endlessStart, sizeof(endlessStart) - 1);
            static const std::string filler(64 * 1024, ' ');
            return sink.write(filler.data(), filler.size());
        });
        return true;
    }
    const int status = m_options.statusByEndpoint.value(endpoint, 0);
    if (status == 0)
        return false;
    response.status = status;
    return true;
}

QJsonObject StandinServer::envelope(const QJsonObject &data) const
{
    QJsonObject body{{QStringLiteral("code"), 0}, {QStringLiteral("message"), QStringLiteral("ok")}, {QStringLiteral("data"), data}};
    if (m_options.answerPadMegabytes > 0)
        body.insert(QStringLiteral("padding"), QString(m_options.answerPadMegabytes * 1024 * 1024 + 1, u'x'));
    return body;
}

void StandinServer::addApiRoutes()
{
    const std::string latestPath = "/api/client/software/vev-urir-odaderid/releases/latest";
    m_server.Get(latestPath, [this](const httplib::Request &request, httplib::Response &response) {
        if (answeredByFault(QStringLiteral("latest"), response))
            return;
        if (!isKnownPlatform(text(request.get_param_value("platform"))))
            return answerJson(response, 400, refusalBody(QStringLiteral("不支持的平台。"), QStringLiteral("unsupported_platform")));
        if (request.get_param_value("channel") != "stable")
            return answerJson(response, 400, refusalBody(QStringLiteral("不支持的发布渠道。"), QStringLiteral("unsupported_channel")));
        answerJson(response, 200, envelope(m_catalog.descriptor(m_catalog.latest(), std::nullopt)));
    });

    const std::string tokenPath = "/api/client/software/vev-urir-odaderid/download-token";
    m_server.Post(tokenPath, [this](const httplib::Request &request, httplib::Response &response) {
        if (answeredByFault(QStringLiteral("token"), response))
            return;
        const QString authorization = text(request.get_header_value("Authorization"));
        if (!authorization.startsWith(QLatin1String("Bearer "))) {
            response.status = 401;
            return;
        }
        const QString credential = authorization.mid(7);
        if (m_options.expiredCredentials.contains(credential)) {
            return answerJson(response, 400,
                              {{QStringLiteral("code"), 40001},
                               {QStringLiteral("message"), QStringLiteral("登录已过期，请重新登录。")},
                               {QStringLiteral("data"), QJsonObject{{QStringLiteral("reason"), QStringLiteral("refresh_token_invalid")}}}});
        }
        if (!isAcceptedCredential(credential)) {
            return answerJson(response, 401,
                              {{QStringLiteral("code"), 401}, {QStringLiteral("message"), QStringLiteral("登录凭证无效，请重新登录。")}});
        }
        const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
        if (!request.get_header_value("Content-Type").starts_with("application/json")
            || !isKnownPlatform(body.value(QLatin1String("platform")).toString())
            || body.value(QLatin1String("channel")).toString() != QLatin1String("stable")
            || body.value(QLatin1String("managerVersion")).toString().isEmpty()) {
            return answerJson(response, 400, refusalBody(QStringLiteral("下载授权请求不完整。"), QStringLiteral("invalid_request")));
        }
        // A mirror asks for one release by its version; a version it does not have gets the latest.
        const ReleaseArchive *wanted = m_catalog.archiveNamed(QStringLiteral("CorvantaAnalysis_")
                                                              + body.value(QLatin1String("version")).toString() + QStringLiteral(".zip"));
        const ReleaseArchive &latest = wanted ? *wanted : m_catalog.latest();
        const QString downloadUrl = m_options.noDownloadUrl
            ? QString()
            : m_options.downloadUrl.value_or(m_baseUrl + QStringLiteral("/downloads/") + issueDownloadToken()
                                             + QLatin1Char('/') + latest.fileName);
        answerJson(response, 200, envelope(m_catalog.descriptor(latest, downloadUrl)));
    });
}

void StandinServer::addArchiveRoute()
{
    m_server.Get(R"(/downloads/([^/]+)/([^/]+))", [this](const httplib::Request &request, httplib::Response &response) {
        if (answeredByFault(QStringLiteral("archive"), response))
            return;
        if (!m_options.redirectArchive.isEmpty())
            return response.set_redirect(m_options.redirectArchive.toStdString());
        if (!isIssuedToken(text(request.matches[1])))
            return answerJson(response, 403, {{QStringLiteral("message"), QStringLiteral("下载链接无效或已过期。")}});
        const ReleaseArchive *archive = m_catalog.archiveNamed(text(request.matches[2]));
        if (!archive) {
            response.status = 404;
            return;
        }
        // A validator of the content: a restarted stand-in with other content gives another ETag.
        const std::string etag = "\"" + archive->sha256.left(32).toStdString() + "\"";
        response.set_header("ETag", etag);
        response.set_header("Last-Modified", m_startedAt);
        const std::string range = request.get_header_value("Range");
        const std::string ifRange = request.get_header_value("If-Range");
        // A stale If-Range asks for the whole new body. The server object owns the request and
        // hands it on as const; its ranges are what cpp-httplib answers with 206 from.
        if (!ifRange.empty() && ifRange != etag && ifRange != m_startedAt)
            const_cast<httplib::Request &>(request).ranges.clear();
        const int status = request.ranges.empty() ? 200 : 206;
        auto file = std::make_shared<std::ifstream>(archive->path.toStdString(), std::ios::binary);
        const size_t size = size_t(archive->size);
        // Dropping stops after half the body although the full length was announced.
        const size_t deliver = m_options.dropConnection ? size / 2 : size;
        const qint64 dropAfter = m_options.dropAfterBytes >= 0 && m_archiveAnswers.fetch_add(1) == 0
            ? m_options.dropAfterBytes
            : -1;
        auto sent = std::make_shared<std::atomic<size_t>>(0);
        const int trickleMs = m_options.trickleMs;
        // Bytes [trickleFrom, trickleEnd) go one at a time; before and after them, at full speed.
        const size_t trickleFrom = size_t(m_options.trickleFrom);
        const size_t trickleEnd = m_options.trickleBytes > 0 ? trickleFrom + size_t(m_options.trickleBytes) : SIZE_MAX;
        response.set_content_provider(
            size, "application/zip",
            [file, deliver, trickleMs, trickleFrom, trickleEnd, dropAfter, sent](size_t offset, size_t length,
                                                                                 httplib::DataSink &sink) {
                if (offset >= deliver || (dropAfter >= 0 && *sent >= size_t(dropAfter)))
                    return false;
                if (trickleMs > 0 && offset >= trickleFrom && offset < trickleEnd) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(trickleMs));
                    length = 1;
                } else if (trickleMs > 0 && offset < trickleFrom) {
                    length = std::min(length, trickleFrom - offset);
                }
                size_t count = std::min<size_t>({length, deliver - offset, 64 * 1024});
                if (dropAfter >= 0)
                    count = std::min(count, size_t(dropAfter) - *sent);
                std::vector<char> buffer(count);
                file->seekg(std::streamoff(offset));
                file->read(buffer.data(), std::streamsize(buffer.size()));
                if (!file->good() || !sink.write(buffer.data(), buffer.size()))
                    return false;
                *sent += count;
                return true;
            },
            [status, range, ifRange, sent](bool) {
                std::printf("archive: status=%d range=%s if-range=%s sent=%zu\n", status,
                            range.empty() ? "-" : range.c_str(), ifRange.empty() ? "-" : ifRange.c_str(),
                            size_t(*sent));
                std::fflush(stdout);
            });
    });
}

void StandinServer::addPageRoutes()
{
    for (const QString &path : SitePages::paths()) {
        m_server.Get(path.toStdString(), [this, path](const httplib::Request &request, httplib::Response &response) {
            if (answeredByFault(QStringLiteral("page"), response))
                return;
            answerPage(response, SitePages::html(path, sessionAccount(request)));
        });
    }
    m_server.Get("/", [](const httplib::Request &, httplib::Response &response) { response.set_redirect("/pricing"); });
}

// Sign-in issues a new credential, accepted by the download-token endpoint from then on, and a
// session cookie (a different value) for the site. The credential reaches the desktop tool through
// an address of its own scheme, never through a request the service sees.
void StandinServer::addAccountRoutes()
{
    m_server.Get("/account/sign-in", [](const httplib::Request &request, httplib::Response &response) {
        answerPage(response, SitePages::signInHtml(text(request.get_param_value("next"))));
    });
    m_server.Post("/account/sign-in", [this](const httplib::Request &request, httplib::Response &response) {
        QString body = text(request.body);
        body.replace(QLatin1Char('+'), QLatin1Char(' '));
        const QUrlQuery form(body);
        const auto field = [&form](const char *name) {
            return form.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
        };
        const QString next = field("next");
        if (field("account") != demoAccount || field("password") != demoPassword) {
            response.status = 401;
            return answerPage(response, SitePages::signInHtml(next, QStringLiteral("账号或密码不正确。")));
        }
        const QString credential = QStringLiteral("cv1.") + randomHex(3);
        const QString session = randomHex(2);
        {
            std::lock_guard lock(m_accountsMutex);
            m_issuedCredentials.insert(credential);
            m_sessions.insert(session, demoAccount);
        }
        response.set_header("Set-Cookie", QStringLiteral("%1=%2; Path=/; Max-Age=2592000; HttpOnly; SameSite=Lax")
                                              .arg(sessionCookie, session)
                                              .toStdString());
        answerPage(response, SitePages::handoffHtml(QStringLiteral("登录成功"),
                                                    QStringLiteral("corvanta-manager://signed-in?credential=") + credential, next));
    });
    m_server.Get("/account/sign-out", [this](const httplib::Request &request, httplib::Response &response) {
        const QString account = sessionAccount(request);
        {
            std::lock_guard lock(m_accountsMutex);
            for (auto it = m_sessions.begin(); it != m_sessions.end();)
                it = it.value() == account ? m_sessions.erase(it) : std::next(it);
        }
        response.set_header("Set-Cookie", QStringLiteral("%1=; Path=/; Max-Age=0").arg(sessionCookie).toStdString());
        answerPage(response, SitePages::handoffHtml(QStringLiteral("已退出登录"), QStringLiteral("corvanta-manager://signed-out"),
                                                    text(request.get_param_value("next"))));
    });
}

QString StandinServer::sessionAccount(const httplib::Request &request)
{
    const QString cookies = text(request.get_header_value("Cookie"));
    for (const QString &cookie : cookies.split(QLatin1Char(';'))) {
        const QString trimmed = cookie.trimmed();
        if (!trimmed.startsWith(sessionCookie + QLatin1Char('=')))
            continue;
        std::lock_guard lock(m_accountsMutex);
        return m_sessions.value(trimmed.mid(sessionCookie.size() + 1));
    }
    return {};
}

bool StandinServer::isAcceptedCredential(const QString &credential)
{
    if (m_options.validCredentials.contains(credential))
        return true;
    std::lock_guard lock(m_accountsMutex);
    return m_issuedCredentials.contains(credential);
}

QString StandinServer::issueDownloadToken()
{
    const QString token = QString::number(QRandomGenerator::global()->generate64(), 16);
    std::lock_guard lock(m_tokensMutex);
    m_tokens.insert(token);
    return token;
}

bool StandinServer::isIssuedToken(const QString &token)
{
    std::lock_guard lock(m_tokensMutex);
    return m_tokens.contains(token);
}
