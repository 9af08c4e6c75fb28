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

    // Throws ReleaseWithoutVersion (checked first) or ReleaseWithoutChecksum when "version" or
    // "sha256" is missing or empty.
    static PluginRelease fromData(const QJsonObject &data);
};
