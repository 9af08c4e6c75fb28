#pragma once

#include "core/ProcessRunner.h"
#include "platform/ToolFiles.h"
#include "plugin/AccountCredentialStore.h"
#include "plugin/CachedPluginPackage.h"
#include "plugin/PackagePipeline.h"
#include "service/ClientAuthAPI.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

// The work of an install, update or repair, without the model: the tool kept in its place, one
// package (the latest release's from the service, or the newest of the cache), the tool new enough
// for it, and the installer script run on it, all under the operation lock. Log lines and download
// progress go to its handlers; failures are thrown. It stops, as cancelled, when its owner goes.
class InstallFlow
{
public:
    // Where the installer payload is found (the running bundle's resources by default) and how long
    // the script may run.
    struct Installer
    {
        QString resourceDir = ToolFiles::payloadRoot();
        double timeoutSeconds = ProcessRunner::defaultTimeoutSeconds;
    };

    InstallFlow(ClientAuthAPI api, AccountCredentialStore credentialStore, QPointer<QObject> owner,
                Installer installer, PackagePipeline::Handlers handlers);

    // Where packages come from (the vendor's service by default) and how far an install may go.
    void setSource(PackagePipeline::Source source) { m_source = std::move(source); }

    // Installs the latest release's package, never one of the cache. `online` is the caller's view of
    // connectivity: offline it fails before asking the service. Returns the installed package.
    QCoro::Task<CachedPluginPackage> installFromService(bool online) const;
    // Installs the newest package of the cache; asks no service.
    QCoro::Task<CachedPluginPackage> installFromCache() const;

    // The banner's sentence after an install from the service, by the versions before and after.
    static QString completionMessage(const QString &installedBefore, const QString &installedAfter);

private:
    QCoro::Task<CachedPluginPackage> resolvePluginPackageForInstall(bool online) const;
    QCoro::Task<> installPackage(QString managementAppPath, CachedPluginPackage package) const;

    ClientAuthAPI m_api;
    AccountCredentialStore m_credentialStore;
    QPointer<QObject> m_owner;
    Installer m_installer;
    PackagePipeline::Handlers m_handlers;
    PackagePipeline::Source m_source;
};
