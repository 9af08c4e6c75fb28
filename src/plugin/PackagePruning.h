#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// After a download only the new archive and the new package stay; entries of other names are
// never touched. Each function returns the activity log lines for what it removed or failed to
// remove, and never throws.
namespace PackagePruning {

// Removes "CorvantaAnalysis_*" and ".extract-*" entries of the package cache except `keep`.
QStringList prunePluginPackageCache(const QString &keep);

// Removes "CorvantaAnalysis_*.zip" and ".download-*" entries of the download directory except `keep`.
QStringList pruneDownloadedPluginArchives(const QString &keep);

struct Rule
{
    std::function<bool(const QString &name)> isCandidate;
    QString removedLine; // followed by the entry's name
    QString failedLine;  // followed by the name, "：" and the reason
};

// The shared core over any folder. A folder that is missing or cannot be listed is left alone.
QStringList pruneFolder(const QString &folder, const QString &keep, const Rule &rule);

} // namespace PackagePruning
