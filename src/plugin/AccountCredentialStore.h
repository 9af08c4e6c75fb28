#pragma once

#include <QCoro/QCoroTask>
#include <QString>

// Keeps the account credential that the download-token request sends as a bearer token. It lives
// in the system keychain (Keychain on macOS, Secret Service on Linux). Only when no keychain
// backend answers at all (headless Linux, CI) does it fall back to a file that only the user can
// read (0600 in a 0700 directory below the support directory). The credential is never logged.
// Methods copy what they need before suspending, so a store that dies meanwhile is harmless.
class AccountCredentialStore
{
public:
    static inline const QString keychainKey = QStringLiteral("account-credential");

    // serviceName defaults to the tool's bundle identifier; fallbackDir to <support>/credentials.
    explicit AccountCredentialStore(QString serviceName = {}, QString fallbackDir = {});

    // The stored credential, or an empty text when there is none.
    QCoro::Task<QString> readCredential() const;
    // The stored credential; throws NotSignedIn when there is none.
    QCoro::Task<QString> requireCredential() const;
    QCoro::Task<> storeCredential(QString credential) const;
    QCoro::Task<> clearCredential() const;

    QString fallbackFilePath() const;

private:
    QString m_serviceName;
    QString m_fallbackDir;
};
