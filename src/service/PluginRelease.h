#pragma once

#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <optional>

// The add-in's release descriptor as the service sends it in an envelope's "data".
struct PluginRelease
{
    std::optional<QUrl> downloadURL;
    std::optional<QString> fileName;
    std::optional<QString> minManagerVersion;
    QString sha256;
    QString version;
    // Base64 Ed25519 signature over the archive's SHA-256 digest bytes, when the vendor signs.
    std::optional<QString> signature;

    // Throws ReleaseWithoutVersion (checked first) or ReleaseWithoutChecksum when "version" or
    // "sha256" is missing or empty.
    static PluginRelease fromData(const QJsonObject &data);
};
