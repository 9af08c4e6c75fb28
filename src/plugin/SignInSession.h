#pragma once

#include "plugin/AccountCredentialStore.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

// The account side of the vendor's site inside the tool. The site hands the tool an account change
// by navigating its page to an address of the tool's own scheme, which the browser reports instead
// of loading:
//   corvanta-manager://signed-in?credential=<credential>   signed in; the credential authorises downloads
//   corvanta-manager://signed-out                          signed out
// Only pages of the vendor's site are listened to. The credential is kept by the credential store
// and never logged.
class SignInSession
{
public:
    static inline const QString handoffScheme = QStringLiteral("corvanta-manager");

    enum class Outcome { SignedIn, SignedOut, Ignored };

    // siteURL: any address of the vendor's site (its origin is what counts).
    SignInSession(AccountCredentialStore store, QUrl siteURL);

    // Acts on an address of the tool's scheme that a page at fromPage navigated to. Throws
    // Failure (InvalidSignIn, CredentialStorage) when the site's sign-in cannot be used or kept.
    QCoro::Task<Outcome> accept(QUrl address, QUrl fromPage) const;

    // A credential as the site hands it over: token characters only, of a plausible length, as it
    // goes into a request header.
    static bool isWellFormedCredential(const QString &credential);

private:
    bool isFromSite(const QUrl &page) const;

    AccountCredentialStore m_store;
    QUrl m_siteURL;
};
