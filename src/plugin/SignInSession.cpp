#include "SignInSession.h"

#include "core/Failure.h"

#include <QRegularExpression>
#include <QUrlQuery>

SignInSession::SignInSession(AccountCredentialStore store, QUrl siteURL)
    : m_store(std::move(store))
    , m_siteURL(std::move(siteURL))
{
}

bool SignInSession::isWellFormedCredential(const QString &credential)
{
    static const QRegularExpression token(QStringLiteral("^[A-Za-z0-9._~+/=-]{16,4096}$"));
    return token.match(credential).hasMatch();
}

bool SignInSession::isFromSite(const QUrl &page) const
{
    return page.scheme() == m_siteURL.scheme() && page.host() == m_siteURL.host()
        && page.port(-1) == m_siteURL.port(-1);
}

QCoro::Task<SignInSession::Outcome> SignInSession::accept(QUrl address, QUrl fromPage) const
{
    const SignInSession self = *this;
    if (address.scheme() != handoffScheme || !self.isFromSite(fromPage))
        co_return Outcome::Ignored;
    // "scheme://action" and "scheme:action" name the same action.
    const QString action = address.host().isEmpty() ? address.path() : address.host();
    if (action == QLatin1String("signed-out")) {
        co_await self.m_store.clearCredential();
        co_return Outcome::SignedOut;
    }
    if (action != QLatin1String("signed-in"))
        co_return Outcome::Ignored;
    const QString credential = QUrlQuery(address).queryItemValue(QStringLiteral("credential"), QUrl::FullyDecoded);
    if (!isWellFormedCredential(credential))
        throw Failure(FailureKind::InvalidSignIn);
    co_await self.m_store.storeCredential(credential);
    co_return Outcome::SignedIn;
}
