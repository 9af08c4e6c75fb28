#include "ReleaseGate.h"

#include "core/Failure.h"
#include "plugin/PluginVersions.h"

namespace ReleaseGate {

bool isNewer(const QString &version, const QString &other)
{
    const std::optional<QList<qint64>> mine = PluginVersions::versionParts(version);
    const std::optional<QList<qint64>> theirs = PluginVersions::versionParts(other);
    if (!mine || !theirs)
        return false;
    const qsizetype length = std::max(mine->size(), theirs->size());
    for (qsizetype i = 0; i < length; ++i) {
        if (mine->value(i, 0) != theirs->value(i, 0))
            return mine->value(i, 0) > theirs->value(i, 0);
    }
    return false;
}

void requireInstallable(const QString &offered, const QString &installed, const QString &pinned)
{
    FailureDetails details;
    details.version = offered;
    if (!installed.isEmpty() && isNewer(installed, offered)) {
        details.requiredVersion = installed;
        throw Failure(FailureKind::RollbackRefused, std::move(details));
    }
    if (!pinned.isEmpty() && isNewer(offered, pinned)) {
        details.requiredVersion = pinned;
        throw Failure(FailureKind::PinnedVersionExceeded, std::move(details));
    }
}

} // namespace ReleaseGate
