#pragma once

#include "plugin/AccountCredentialStore.h"
#include "plugin/ArchiveDownload.h"
#include "plugin/ReleaseSignatureVerifier.h"
#include "service/ClientAuthAPI.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

// Makes and brings up to date a mirror (the layout of MirrorSource) from the vendor's service, on
// a machine that reaches it, with the account credential signed in there. A release the desktops
// would refuse (unsigned, or signed by no built-in key) is refused here before anything is fetched.
class MirrorWriter
{
public:
    MirrorWriter(ClientAuthAPI api, AccountCredentialStore credentialStore, ArchiveDownload::ProgressHandler progress = {},
                 ReleaseSignatureVerifier verifier = ReleaseSignatureVerifier(ReleaseSignatureVerifier::mirrorPublicKeys()));

    // Adds the latest release, or `version` when not empty, to folder; points latest.json at the
    // newest release there and keeps MirrorSource::keptOldReleases older ones. Returns what it did,
    // one line each. Throws.
    QCoro::Task<QStringList> update(QString folder, QString version) const;

private:
    static QStringList refreshLatest(const QString &folder);

    ClientAuthAPI m_api;
    AccountCredentialStore m_credentialStore;
    ArchiveDownload::ProgressHandler m_progress;
    ReleaseSignatureVerifier m_verifier;
};
