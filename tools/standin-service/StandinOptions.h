#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

class QCoreApplication;

// How the stand-in behaves for one run, chosen on its command line.
struct StandinOptions
{
    enum class Layout { TopLevel, OneFolder, TwoFolders, MissingIndex, DotDot, Empty, NotZip };

    int port = 0;
    QString host = QStringLiteral("127.0.0.1");
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
    std::optional<QString> descriptorSha256;
    std::optional<QString> downloadUrl;
    QString signingKey; // PEM Ed25519 private key; empty: releases go unsigned

    // Faults.
    QMap<QString, int> statusByEndpoint; // "latest", "token", "archive", "page"
    int slowMs = 0;
    bool dropConnection = false;
    qint64 dropAfterBytes = -1; // the first archive answer stops after this many body bytes
    // Hostile answers.
    QString redirectArchive; // Location of a 302 instead of the archive
    QStringList endlessEndpoints; // "latest", "token": a JSON body that never ends
    int answerPadMegabytes = 0;
    int trickleMs = 0; // the archive body one byte at a time
    int trickleFrom = 0; // bytes sent at full speed before the trickle
    int trickleBytes = 0; // bytes that trickle (0: the rest of the body)

    QStringList validCredentials;
    QStringList expiredCredentials;

    static inline const QStringList endpoints = {QStringLiteral("latest"), QStringLiteral("token"),
                                                 QStringLiteral("archive"), QStringLiteral("page")};

    // Parses the application's arguments; prints help or the error and exits on a bad line.
    static StandinOptions parse(const QCoreApplication &app);
};
