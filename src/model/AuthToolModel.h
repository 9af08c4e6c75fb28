#pragma once

#include "core/OperationTone.h"
#include "core/ProcessRunner.h"
#include "core/PluginInstallState.h"
#include "model/InstallFlow.h"
#include "model/OperationOutcome.h"
#include "platform/ManagedPolicy.h"
#include "plugin/AccountCredentialStore.h"
#include "plugin/CachedPluginPackage.h"
#include "service/ClientAuthAPI.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class ConfirmationPrompt;
class ConnectivityMonitor;

// The one application model: every piece of state the window shows and every operation it starts.
// Lives on the GUI thread; operations are coroutines that suspend on network, processes and timers.
class AuthToolModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isInstalling READ isInstalling NOTIFY isInstallingChanged)
    Q_PROPERTY(bool isOnline READ isOnline NOTIFY isOnlineChanged)
    Q_PROPERTY(QString networkLabel READ networkLabel NOTIFY isOnlineChanged)
    Q_PROPERTY(bool isUninstalling READ isUninstalling NOTIFY isUninstallingChanged)
    Q_PROPERTY(QString operationMessage READ operationMessage NOTIFY operationMessageChanged)
    Q_PROPERTY(OperationTone operationTone READ operationTone NOTIFY operationToneChanged)
    Q_PROPERTY(QString installedPluginVersionPublished READ installedPluginVersionPublished
                   NOTIFY installedPluginVersionPublishedChanged)
    Q_PROPERTY(QString latestPluginVersion READ latestPluginVersion NOTIFY latestPluginVersionChanged)
    Q_PROPERTY(PluginInstallState pluginInstallState READ pluginInstallState NOTIFY pluginInstallStateChanged)
    // The running archive download; both 0 when none runs, expected -1 while the size is unknown.
    Q_PROPERTY(qint64 downloadBytesReceived READ downloadBytesReceived NOTIFY downloadBytesReceivedChanged)
    Q_PROPERTY(qint64 downloadBytesExpected READ downloadBytesExpected NOTIFY downloadBytesExpectedChanged)

public:
    // How long an info or success message stays before it clears itself.
    static constexpr int messageClearDelayMs = 4000;

    // When connectivity monitoring begins: with the model, or with bootstrap(), which the window runs
    // after its first frame so that loading the platform's network backend does not delay it.
    enum class Connectivity { StartWithModel, StartOnBootstrap };

    explicit AuthToolModel(QObject *parent = nullptr);
    // A model that talks to another service than the official one (the stand-in, tests).
    explicit AuthToolModel(ClientAuthAPI apiClient, QObject *parent = nullptr,
                           Connectivity connectivity = Connectivity::StartWithModel);
    // A model whose connectivity is what `connectivity` reports; the caller owns it and decides
    // whether it watches the machine (start()) or is told (reportReachability()).
    AuthToolModel(ClientAuthAPI apiClient, ConnectivityMonitor *connectivity, QObject *parent = nullptr);
    ~AuthToolModel() override;

    bool isInstalling() const { return m_isInstalling; }
    bool isOnline() const { return m_isOnline; }
    QString networkLabel() const;
    bool isUninstalling() const { return m_isUninstalling; }
    QString operationMessage() const { return m_operationMessage; }
    OperationTone operationTone() const { return m_operationTone; }
    quint64 operationToken() const { return m_operationToken; }
    // A null string means "absent"; an empty one is a value read as empty.
    QString installedPluginVersionPublished() const { return m_installedPluginVersion; }
    QString latestPluginVersion() const { return m_latestPluginVersion; }
    PluginInstallState pluginInstallState() const { return m_pluginInstallState; }
    qint64 downloadBytesReceived() const { return m_downloadBytesReceived; }
    qint64 downloadBytesExpected() const { return m_downloadBytesExpected; }

    void bootstrap();
    void showOperation(const QString &message, OperationTone tone);
    void appendLog(const QString &message);
    // The online gate: true when online; otherwise shows and logs the refusal of the action (a
    // short verb phrase such as "检查更新") and returns false.
    bool requireOnline(const QString &action);

    const ClientAuthAPI &apiClient() const { return m_apiClient; }
    // The IT department's policy, read at start; suites give their own.
    const ManagedPolicy &policy() const { return m_policy; }
    void setPolicy(ManagedPolicy policy);
    // Whether the release query may be tried: online, or a mirror that answers for itself.
    bool reachesPackageSource() const { return m_isOnline || m_policy.mirror().has_value(); }
    // The absolute address of a page of the vendor's site ("/pricing"), or an absolute address.
    QUrl webURL(const QString &path) const { return m_apiClient.webURL(path); }
    // Opens that address in the desktop's default browser, behind the online gate.
    void openOnlinePath(const QString &path);
    // Reads the installed version from WPS's add-in folder and recomputes the install state.
    void refreshInstalledPluginVersion();

    // Where the account credential that authorises downloads is kept (the sign-in stores it here).
    const AccountCredentialStore &credentialStore() const { return m_credentialStore; }
    // The vendor's site, shown in the tool, navigated to an address of the tool's own scheme to hand
    // over a sign-in or sign-out (see SignInSession).
    QCoro::Task<> acceptAccountHandoff(QUrl address, QUrl fromPage);

    // The package pipeline (see PackagePipeline) with its log lines and the download progress
    // published here. Throws; the caller shows the error.
    QCoro::Task<CachedPluginPackage> downloadAuthorizedPluginPackage();

    // The operations. Each reports in the banner and the log, and returns how it ended instead of
    // throwing.
    // The user's update check; refused offline.
    QCoro::Task<OperationOutcome> checkForUpdates();
    // The silent release query of start-up and after installs: no banner, failures only logged;
    // refused (silently) offline.
    QCoro::Task<OperationOutcome> checkLatestPluginRelease();
    // Install, update and repair from the service, and repair from the cache, through the installer
    // script; uninstall from WPS's files after the user's confirmation.
    QCoro::Task<OperationOutcome> installOrRepairPlugin();
    QCoro::Task<OperationOutcome> repairPluginFromCache();
    QCoro::Task<OperationOutcome> uninstallPlugin();

    // How the uninstall asks for confirmation; without one it is never confirmed.
    void setConfirmationPrompt(std::shared_ptr<ConfirmationPrompt> prompt);
    // Where the installer payload is found (the running bundle's resources by default) and how long
    // the script may run; suites point it at the build tree's bundle.
    void setInstallerResources(const QString &resourceDir,
                               double timeoutSeconds = ProcessRunner::defaultTimeoutSeconds);

Q_SIGNALS:
    void isInstallingChanged(bool value);
    void isOnlineChanged(bool value);
    void isUninstallingChanged(bool value);
    void operationMessageChanged(const QString &message);
    void operationToneChanged(OperationTone tone);
    void installedPluginVersionPublishedChanged(const QString &version);
    void latestPluginVersionChanged(const QString &version);
    void pluginInstallStateChanged(PluginInstallState state);
    void downloadBytesReceivedChanged(qint64 bytes);
    void downloadBytesExpectedChanged(qint64 bytes);
    // The account was signed out: the site's cookies are to go as well.
    void accountSignedOut();

private:
    enum class BusyFlag { Installing, Uninstalling };

    // One long operation: busy flag tested and set with no suspension in between and reset on every
    // way out; the WPS gate after the flag test; progress message and start line; work; a thrown
    // error becomes failurePrefix + its description in the banner (error tone) and in the log.
    struct OperationSteps
    {
        BusyFlag flag;
        // The operation as the WPS gate names it in its refusal.
        QString wpsGateAction;
        // Asked after the flag is set (a dialog's event loop must not let a second start through);
        // false ends the operation without a message.
        std::function<bool()> confirm = {};
        QString progressMessage;
        QString startLogLine;
        QString failurePrefix;
        std::function<QCoro::Task<>()> work;
    };
    QCoro::Task<OperationOutcome> runOperation(OperationSteps steps);
    bool isBusy(BusyFlag flag) const;
    void setBusy(BusyFlag flag, bool busy);
    // The WPS gate: true when WPS is not running; otherwise shows and logs the refusal of the action.
    bool requireWpsClosed(const QString &action);

    QCoro::Task<> installFromService();
    QCoro::Task<> installFromCache();
    QCoro::Task<> publishInstalled(CachedPluginPackage package);
    QCoro::Task<> uninstallFromWps();
    InstallFlow installFlow();
    PackagePipeline::Source packageSource() const;
    void scheduleUpdateChecks();
    PackagePipeline::Handlers publishingHandlers();

    void setOnline(bool online);
    void setInstalledPluginVersion(const QString &version);
    void setLatestPluginVersion(const QString &version);
    void setPluginInstallState(PluginInstallState state);
    void recomputeInstallState();
    void setOperationMessage(const QString &message);
    void setDownloadProgress(qint64 received, qint64 expected);

    bool m_isInstalling = false;
    bool m_isOnline = true;
    bool m_isUninstalling = false;
    QString m_operationMessage;
    OperationTone m_operationTone = OperationTone::Info;
    quint64 m_operationToken = 0;
    QString m_installedPluginVersion;
    QString m_latestPluginVersion;
    PluginInstallState m_pluginInstallState = PluginInstallState::Unknown;
    qint64 m_downloadBytesReceived = 0;
    qint64 m_downloadBytesExpected = 0;
    ClientAuthAPI m_apiClient;
    AccountCredentialStore m_credentialStore;
    // The model's own monitor, or the caller's (then never started here).
    QPointer<ConnectivityMonitor> m_networkMonitor;
    bool m_ownsNetworkMonitor = true;
    std::shared_ptr<ConfirmationPrompt> m_confirmationPrompt;
    InstallFlow::Installer m_installer;
    ManagedPolicy m_policy;
};
