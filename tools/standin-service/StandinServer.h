#pragma once

#include "ReleaseCatalog.h"
#include "StandinOptions.h"

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include <httplib.h>

#include <atomic>
#include <mutex>
#include <string>

// The stand-in's HTTP side on 127.0.0.1: the release and download-token API, the archive
// downloads behind one-off tokens, and the site pages. Each request is answered on its own thread.
class StandinServer
{
public:
    StandinServer(const StandinOptions &options, const ReleaseCatalog &catalog);

    // Binds 127.0.0.1:port (0 picks a free one); returns the port, or -1.
    int bind(int port);
    // Serves until stop(); call after bind().
    bool run();
    void stop();

private:
    void addApiRoutes();
    void addArchiveRoute();
    void addPageRoutes();
    void addAccountRoutes();
    // The account signed in with the request's session cookie; empty when none.
    QString sessionAccount(const httplib::Request &request);
    bool isAcceptedCredential(const QString &credential);
    // Applies the configured delay and, when the endpoint has a forced status, answers with it.
    bool answeredByFault(const QString &endpoint, httplib::Response &response) const;
    QJsonObject envelope(const QJsonObject &data) const;
    QString issueDownloadToken();
    bool isIssuedToken(const QString &token);

    const StandinOptions &m_options;
    const ReleaseCatalog &m_catalog;
    httplib::Server m_server;
    QString m_baseUrl;
    const std::string m_startedAt; // Last-Modified of every archive
    std::atomic<int> m_archiveAnswers{0};
    std::mutex m_tokensMutex;
    QSet<QString> m_tokens;
    std::mutex m_accountsMutex;
    QSet<QString> m_issuedCredentials;
    QHash<QString, QString> m_sessions; // session cookie value → account
};
