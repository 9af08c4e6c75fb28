#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

class QCoreApplication;

// How the stand-in behaves for one run, chosen on its command line.
struct StandinOptions
{
    enum class Layout { TopLevel, OneFolder, TwoFolders, MissingIndex, DotDot, Empty };

    int port = 0;
    QString packagesDir;
    QString latest; // empty: the highest version found
    std::optional<QString> minManagerVersion; // empty text: leave the key out
    Layout layout = Layout::OneFolder;
    int padMegabytes = 0;

    // Descriptor shape.
    bool noFileName = false;
    bool noDownloadUrl = false;
    bool upperCaseSha = false;
    bool wrongSha256 = false;
    std::optional<QString> descriptorFileName;
    std::optional<QString> descriptorVersion;

    // Faults.
    QMap<QString, int> statusByEndpoint; // "latest", "token", "archive", "page"
    int slowMs = 0;
    bool dropConnection = false;

    QStringList validCredentials;
    QStringList expiredCredentials;

    static inline const QStringList endpoints = {QStringLiteral("latest"), QStringLiteral("token"),
                                                 QStringLiteral("archive"), QStringLiteral("page")};

    // Parses the application's arguments; prints help or the error and exits on a bad line.
    static StandinOptions parse(const QCoreApplication &app);
};
