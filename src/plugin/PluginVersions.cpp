#include "PluginVersions.h"

#include "service/ClientAuthAPI.h"
#include "core/Failure.h"

#include <QRegularExpression>

namespace PluginVersions {

namespace {

std::optional<qint64> plainNumber(const QString &piece)
{
    for (const QChar c : piece) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = piece.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

} // namespace

std::optional<QList<qint64>> versionParts(const QString &version)
{
    QString text = version.trimmed();
    if (text.startsWith(u'v') || text.startsWith(u'V'))
        text.remove(0, 1);
    static const QRegularExpression suffixSeparators(QStringLiteral("[-+]"));
    const QStringList core = text.split(suffixSeparators, Qt::SkipEmptyParts);
    if (!core.isEmpty())
        text = core.first();

    const QStringList pieces = text.split(u'.', Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return std::nullopt;
    QList<qint64> parts;
    parts.reserve(pieces.size());
    for (const QString &piece : pieces) {
        const std::optional<qint64> number = plainNumber(piece);
        if (!number)
            return std::nullopt;
        parts.append(*number);
    }
    return parts;
}

bool managerSatisfies(const QString &required, const QString &toolVersion)
{
    if (required.trimmed().isEmpty())
        return true;
    const std::optional<QList<qint64>> wanted = versionParts(required);
    const std::optional<QList<qint64>> have = versionParts(toolVersion);
    if (!wanted || !have)
        return true;
    const qsizetype length = std::max(wanted->size(), have->size());
    for (qsizetype i = 0; i < length; ++i) {
        const qint64 w = wanted->value(i, 0);
        const qint64 h = have->value(i, 0);
        if (w != h)
            return h > w;
    }
    return true;
}

bool managerSatisfies(const QString &required)
{
    return managerSatisfies(required, ClientAuthAPI::appVersion());
}

void ensureManagerSupports(const CachedPluginPackage &package)
{
    if (managerSatisfies(package.minManagerVersion))
        return;
    FailureDetails details;
    details.version = package.version;
    details.requiredVersion = package.minManagerVersion;
    throw Failure(FailureKind::ToolTooOld, std::move(details));
}

PluginInstallState installStateFor(const QString &latest, const QString &installed)
{
    const QString latestText = latest.trimmed();
    const QString installedText = installed.trimmed();
    if (latestText.isEmpty())
        return PluginInstallState::Unknown;
    if (installedText.isEmpty())
        return PluginInstallState::NotInstalled;
    return latestText.compare(installedText, Qt::CaseInsensitive) == 0 ? PluginInstallState::UpToDate
                                                                        : PluginInstallState::UpdateAvailable;
}

} // namespace PluginVersions
