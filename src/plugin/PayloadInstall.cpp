#include "PayloadInstall.h"

#include "core/ActivityLog.h"
#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "core/TreeCopy.h"
#include "plugin/PackageDirectory.h"
#include "plugin/WpsAddonEdits.h"
#include "plugin/WpsDetection.h"

#include <QFile>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace PayloadInstall {

namespace {

namespace fs = std::filesystem;

Failure stepFailure(FailureKind kind, const QString &sentence)
{
    FailureDetails details;
    details.output = sentence;
    return Failure(kind, std::move(details));
}

// Runs one step; whatever it throws becomes a failure of the step's kind with the same sentence.
// WPS found running keeps its own kind: nothing was changed for it.
template<typename Step>
auto during(FailureKind kind, Step step)
{
    try {
        return step();
    } catch (const std::exception &error) {
        if (failureKind(error) == FailureKind::WpsRunning)
            throw;
        throw stepFailure(kind, describeError(error));
    }
}

// The hidden folder the package is copied into; after placing it holds the previous copy of the
// same version, if there was one. It goes when the install ends, however it ends.
class Staging
{
public:
    explicit Staging(const QString &addonDir)
    {
        QByteArray pattern = QFile::encodeName(addonDir + QStringLiteral("/.corvanta-staging-XXXXXX"));
        if (!::mkdtemp(pattern.data()))
            throw stepFailure(FailureKind::InstallerCopyFailed,
                              QStringLiteral("无法在 WPS 加载项文件夹中创建临时文件夹，请检查磁盘空间和文件夹权限。"));
        m_path = QFile::decodeName(pattern);
    }
    ~Staging()
    {
        std::error_code ignored;
        fs::remove_all(fs::path(QFile::encodeName(m_path).toStdString()), ignored);
    }
    Staging(const Staging &) = delete;
    Staging &operator=(const Staging &) = delete;
    const QString &path() const { return m_path; }

private:
    QString m_path;
};

// Writable by the owner, so a later update can move it away, and readable by everyone, whatever
// modes the package carried.
void openUp(const fs::path &root)
{
    const auto widen = [](const fs::path &path) {
        const fs::file_status status = fs::symlink_status(path);
        if (fs::is_symlink(status))
            return;
        const fs::perms anyExec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
        const bool searchable = fs::is_directory(status) || (status.permissions() & anyExec) != fs::perms::none;
        fs::permissions(path, searchable ? fs::perms(0755) : fs::perms(0644), fs::perm_options::add);
    };
    widen(root);
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root))
        widen(entry.path());
}

void fillStaging(const QString &packageDir, const QString &staged)
{
    try {
        for (const QString &name : LocalFiles::entryNames(packageDir))
            TreeCopy::copyTree(packageDir + QLatin1Char('/') + name, staged + QLatin1Char('/') + name);
    } catch (const std::exception &) {
        throw stepFailure(FailureKind::InstallerCopyFailed, QStringLiteral("复制插件文件失败，请检查磁盘空间后重试。"));
    }
    try {
        openUp(fs::path(QFile::encodeName(staged).toStdString()));
    } catch (const std::exception &) {
        throw stepFailure(FailureKind::InstallerCopyFailed, QStringLiteral("无法设置插件文件的权限。"));
    }
}

// Back to what WPS has registered: the previous copy, or no folder of this version. Best effort:
// the registration's failure is what the user must hear about.
void rollBack(const QString &staged, const QString &addonDir, const QString &name)
{
    try {
        if (LocalFiles::exists(staged))
            WpsAddonEdits::placeDirectory(staged, addonDir + QLatin1Char('/') + name);
        else
            WpsAddonEdits::removeDirectory(addonDir, name);
    } catch (const std::exception &) {
    }
}

} // namespace

void requireWpsClosed()
{
    if (WpsDetection::isWpsRunning())
        throw Failure(FailureKind::WpsRunning);
}

void logRecovery(WpsListPair::Recovery recovery)
{
    if (recovery == WpsListPair::Recovery::Abandoned)
        ActivityLog::append(WpsListPair::abandonedLogLine);
}

void registerInstalled(const QString &addonDir, const QString &name)
{
    const std::optional<CachedPluginPackage> installed =
        PackageDirectory::readPackageDirectory(addonDir + QLatin1Char('/') + name);
    if (!installed) {
        FailureDetails details;
        details.path = name;
        throw Failure(FailureKind::IncompleteInstalledFolder, std::move(details));
    }
    requireWpsClosed();
    logRecovery(WpsAddonEdits::registerPlugin(addonDir, name, installed->version));
}

Outcome install(const QString &packageDir, const QString &addonDir)
{
    Outcome outcome;
    outcome.installedName = during(FailureKind::InstallerPackageRefused,
                                   [&] { return WpsAddonEdits::installedDirectoryName(packageDir); });
    const QString &name = outcome.installedName;
    during(FailureKind::InstallerCopyFailed, [&] {
        requireWpsClosed();
        logRecovery(WpsAddonEdits::removeLeftovers(addonDir));
    });
    if (LocalFiles::createDirectories(addonDir) != 0)
        throw stepFailure(FailureKind::InstallerCopyFailed, QStringLiteral("无法创建 WPS 加载项文件夹，请检查文件夹权限。"));
    const Staging staging(addonDir);
    fillStaging(packageDir, staging.path());
    during(FailureKind::InstallerCopyFailed,
           [&] { WpsAddonEdits::placeDirectory(staging.path(), addonDir + QLatin1Char('/') + name); });
    try {
        during(FailureKind::InstallerRegistrationFailed, [&] { registerInstalled(addonDir, name); });
    } catch (const Failure &) {
        rollBack(staging.path(), addonDir, name);
        throw;
    }
    try {
        outcome.leftovers = WpsAddonEdits::removeOtherVersions(addonDir, name);
        outcome.leftovers.sort();
    } catch (const std::exception &error) {
        outcome.sweepFailure = describeError(error);
    }
    return outcome;
}

} // namespace PayloadInstall
