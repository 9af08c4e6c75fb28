#include "plugin/SignInSession.h"

#include "TaskOutcome.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(SignInSession::Outcome)

class tst_SignInSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void acceptsOnlyTheSitesHandoff_data();
    void acceptsOnlyTheSitesHandoff();
};

void tst_SignInSession::acceptsOnlyTheSitesHandoff_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("fromPage");
    QTest::addColumn<SignInSession::Outcome>("outcome");
    QTest::addColumn<QString>("stored"); // the credential kept afterwards
    QTest::addColumn<QString>("error");

    const QString site = QStringLiteral("http://127.0.0.1:8123/account/sign-in");
    const QString before = QStringLiteral("cv1.previous-credential");
    const QString issued = QStringLiteral("cv1.0f3a9c2d7e5b41aa");
    const QString invalid = QStringLiteral("网站返回的登录信息无效，请重新登录。");
    using O = SignInSession::Outcome;
    QTest::newRow("signed in") << "corvanta-manager://signed-in?credential=cv1.0f3a9c2d7e5b41aa" << site << O::SignedIn
                               << issued << QString();
    QTest::newRow("signed in, no slashes")
        << "corvanta-manager:signed-in?credential=cv1.0f3a9c2d7e5b41aa" << site << O::SignedIn << issued << QString();
    QTest::newRow("signed out") << "corvanta-manager://signed-out" << site << O::SignedOut << QString() << QString();
    QTest::newRow("another site") << "corvanta-manager://signed-in?credential=cv1.0f3a9c2d7e5b41aa"
                                  << "http://127.0.0.1:8124/" << O::Ignored << before << QString();
    QTest::newRow("another site signs out")
        << "corvanta-manager://signed-out" << "https://127.0.0.1:8123/" << O::Ignored << before << QString();
    QTest::newRow("unknown action") << "corvanta-manager://upgrade" << site << O::Ignored << before << QString();
    QTest::newRow("no credential") << "corvanta-manager://signed-in" << site << O::Ignored << before << invalid;
    QTest::newRow("header break in credential")
        << "corvanta-manager://signed-in?credential=cv1.0f3a9c2d7e5b%0D%0AX-Evil:%201" << site << O::Ignored << before
        << invalid;
    QTest::newRow("short credential")
        << "corvanta-manager://signed-in?credential=abc" << site << O::Ignored << before << invalid;
}

void tst_SignInSession::acceptsOnlyTheSitesHandoff()
{
    QFETCH(QString, address);
    QFETCH(QString, fromPage);
    QFETCH(SignInSession::Outcome, outcome);
    QFETCH(QString, stored);
    QFETCH(QString, error);
    QTemporaryDir fallback;
    // No keychain answers in the suites: the store keeps its private file in the scratch folder.
    const AccountCredentialStore store(QStringLiteral("tst-signinsession"), fallback.path());
    QCoro::waitFor(store.storeCredential(QStringLiteral("cv1.previous-credential")));

    const SignInSession session(store, QUrl(QStringLiteral("http://127.0.0.1:8123")));
    const auto result = awaitOutcome(session.accept(QUrl(address), QUrl(fromPage)));
    QCOMPARE(result.description(), error);
    if (error.isNull())
        QCOMPARE(*result.value, outcome);
    QCOMPARE(QCoro::waitFor(store.readCredential()), stored);
}

QTEST_GUILESS_MAIN(tst_SignInSession)
#include "tst_signinsession.moc"
