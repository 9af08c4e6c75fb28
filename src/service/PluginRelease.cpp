#include "PluginRelease.h"

#include "core/Failure.h"
#include "service/JsonValueReaders.h"

using JsonValueReaders::stringValue;

PluginRelease PluginRelease::fromData(const QJsonObject &data)
{
    PluginRelease release;
    const std::optional<QString> version = stringValue(data.value(QLatin1String("version")));
    if (!version || version->isEmpty())
        throw Failure(FailureKind::ReleaseWithoutVersion);
    const std::optional<QString> sha256 = stringValue(data.value(QLatin1String("sha256")));
    if (!sha256 || sha256->isEmpty())
        throw Failure(FailureKind::ReleaseWithoutChecksum);
    release.version = *version;
    release.sha256 = *sha256;
    release.fileName = stringValue(data.value(QLatin1String("fileName")));
    release.minManagerVersion = stringValue(data.value(QLatin1String("minManagerVersion")));
    release.signature = stringValue(data.value(QLatin1String("signature")));
    const std::optional<QString> downloadUrl = stringValue(data.value(QLatin1String("downloadUrl")));
    if (downloadUrl && !downloadUrl->isEmpty()) {
        const QUrl url(*downloadUrl, QUrl::StrictMode);
        if (url.isValid())
            release.downloadURL = url;
    }
    return release;
}
