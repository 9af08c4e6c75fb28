#pragma once

#include "core/OperationTone.h"
#include "core/PluginInstallState.h"
#include "core/ProcessRunner.h"
#include "model/InstallFlow.h"
#include "model/OperationOutcome.h"
#include "model/OperationRunner.h"
#include "platform/ManagedPolicy.h"
#include "plugin/AccountCredentialStore.h"
#include "service/ClientAuthAPI.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class ConfirmationPrompt;
class ConnectivityMonitor;
class Operation;

// The state the window shows, and where its operations start: each runs as an Operation object
// sharing this model's OperationRunner (gates, busy flags, banner, log). Lives on the GUI thread.
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
    static constexpr int messageClearDelayMs = OperationRunner::messageClearDelayMs;

    // A model of `apiClient`'s service (the stand-in and suites give their own). Its connectivity is
    // what `connectivity` reports, the caller's to start or to tell; without one the model watches
    // the machine from the start.
    explicit AuthToolModel(ClientAuthAPI apiClient = ClientAuthAPI(), ConnectivityMonitor *connectivity = nullptr,
                           QObject *parent = nullptr);
    ~AuthToolModel() override;

    bool isInstalling() const { return m_runner.isBusy(OperationRunner::BusyFlag::Installing); }
    bool isOnline() const { return m_isOnline; }
    QString networkLabel() const;
    bool isUninstalling() const { return m_runner.isBusy(OperationRunner::BusyFlag::Uninstalling); }
    QString operationMessage() const { return m_runner.operationMessage(); }
    OperationTone operationTone() const { return m_runner.operationTone(); }
    quint64 operationToken() const { return m_runner.operationToken(); }
    // A null string means "absent"; an empty one is a value read as empty.
    QString installedPluginVersionPublished() const { return m_installedPluginVersion; }
    QString latestPluginVersion() const { return m_latestPluginVersion; }
    PluginInstallState pluginInstallState() const { return m_pluginInstallState; }
    qint64 downloadBytesReceived() const { return m_runner.downloadBytesReceived(); }
    qint64 downloadBytesExpected() const { return m_runner.downloadBytesExpected(); }

    void bootstrap();
    OperationRunner &runner() { return m_runner; }
    void showOperation(const QString &message, OperationTone tone) { m_runner.showOperation(message, tone); }
    void appendLog(const QString &message) { m_runner.appendLog(message); }
    bool requireOnline(const QString &action) { return m_runner.requireOnline(m_isOnline, action); }

    const ClientAuthAPI &apiClient() const { return m_apiClient; }
    // The IT department's policy, read at start; suites give their own.
    const ManagedPolicy &policy() const { return m_policy; }
    void setPolicy(ManagedPolicy policy) { m_policy = std::move(policy); }
    // Whether the release query may be tried: online, or a mirror that answers for itself.
    bool reachesPackageSource() const { return m_isOnline || m_policy.mirror().has_value(); }
    PackagePipeline::Source packageSource() const { return {m_policy.mirror(), m_policy.pinnedVersion()}; }
    // The absolute address of a page of the vendor's site ("/pricing"), or an absolute address.
    QUrl webURL(const QString &path) const { return m_apiClient.webURL(path); }
    // Opens that address in the desktop's default browser, behind the online gate.
    void openOnlinePath(const QString &path);
    // Where the account credential that authorises downloads is kept (the sign-in stores it here).
    const AccountCredentialStore &credentialStore() const { return m_credentialStore; }
    // The install work with this model's service, credential, installer and policy.
    InstallFlow installFlow();
    ConfirmationPrompt *confirmationPrompt() const { return m_confirmationPrompt.get(); }

    // The published state, as operations learn it.
    void refreshInstalledPluginVersion();
    void setInstalledPluginVersion(const QString &version);
    void setLatestPluginVersion(const QString &version);
    void recomputeInstallState();
    // The installed version at once; the state once the latest release is known again.
    QCoro::Task<> publishInstalled(QString version);

    // The operations (see Operation): each reports in the banner and the log and ends with its
    // outcome instead of throwing.
    QCoro::Task<OperationOutcome> checkForUpdates();
    QCoro::Task<OperationOutcome> checkLatestPluginRelease();
    QCoro::Task<OperationOutcome> installOrRepairPlugin();
    QCoro::Task<OperationOutcome> repairPluginFromCache();
    QCoro::Task<OperationOutcome> uninstallPlugin();
    QCoro::Task<OperationOutcome> acceptAccountHandoff(QUrl address, QUrl fromPage);

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
    QCoro::Task<OperationOutcome> launch(Operation *operation);
    void scheduleUpdateChecks();
    void setOnline(bool online);
    void setPluginInstallState(PluginInstallState state);

    OperationRunner m_runner;
    bool m_isOnline = true;
    QString m_installedPluginVersion;
    QString m_latestPluginVersion;
    PluginInstallState m_pluginInstallState = PluginInstallState::Unknown;
    ClientAuthAPI m_apiClient;
    AccountCredentialStore m_credentialStore;
    std::shared_ptr<ConfirmationPrompt> m_confirmationPrompt;
    InstallFlow::Installer m_installer;
    ManagedPolicy m_policy;
};
