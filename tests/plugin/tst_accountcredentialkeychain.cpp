#include "plugin/AccountCredentialStore.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTest>

#include "ScratchHome.h"

// A real Secret Service for this suite alone: a private session bus with gnome-keyring on it,
// its login keyring created and unlocked with a throw-away password.
class tst_AccountCredentialKeychain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void storedInTheKeychainNotOnDisk();
    void strandedFileMovesIntoTheKeychain();
    void clearRemovesIt();

private:
    bool secretServiceOnBus();

    std::unique_ptr<ScratchHome> m_home;
    QProcess m_bus;
    QProcess m_keyring;
};

bool tst_AccountCredentialKeychain::secretServiceOnBus()
{
    QProcess query;
    query.start(QStringLiteral("dbus-send"),
                {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                 "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"});
    return query.waitForFinished() && query.readAllStandardOutput().contains("boolean true");
}

void tst_AccountCredentialKeychain::initTestCase()
{
    m_home = std::make_unique<ScratchHome>();
    qunsetenv("DISPLAY");
    m_bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    if (!m_bus.waitForStarted())
        QSKIP("dbus-daemon is not available");
    QTRY_VERIFY(m_bus.canReadLine());
    const QByteArray address = m_bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    m_keyring.start(QStringLiteral("gnome-keyring-daemon"),
                    {"--foreground", "--unlock", "--components=secrets"});
    if (!m_keyring.waitForStarted())
        QSKIP("gnome-keyring-daemon is not available");
    m_keyring.write("test-only-password");
    m_keyring.closeWriteChannel();
    QTRY_VERIFY_WITH_TIMEOUT(secretServiceOnBus(), 10000);
}

void tst_AccountCredentialKeychain::cleanupTestCase()
{
    for (QProcess *process : {&m_keyring, &m_bus}) {
        process->terminate();
        if (!process->waitForFinished(3000))
            process->kill();
        process->waitForFinished();
    }
}

void tst_AccountCredentialKeychain::storedInTheKeychainNotOnDisk()
{
    const AccountCredentialStore store(QStringLiteral("com.corvanta.test.keychain"));
    const QString credential = QStringLiteral("refresh-token 插件");
    QCoro::waitFor(store.storeCredential(credential));
    QVERIFY(!QFileInfo::exists(store.fallbackFilePath()));
    QCOMPARE(QCoro::waitFor(AccountCredentialStore(QStringLiteral("com.corvanta.test.keychain")).readCredential()),
             credential);
    QCOMPARE(QCoro::waitFor(AccountCredentialStore(QStringLiteral("com.corvanta.test.other")).readCredential()),
             QString());
}

// Signed in while no keychain answered, later the keychain is there: the plain file goes away.
void tst_AccountCredentialKeychain::strandedFileMovesIntoTheKeychain()
{
    const AccountCredentialStore store(QStringLiteral("com.corvanta.test.stranded"));
    QVERIFY(QDir().mkpath(QFileInfo(store.fallbackFilePath()).path()));
    QSaveFile file(store.fallbackFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("stranded-token");
    QVERIFY(file.commit());

    QCOMPARE(QCoro::waitFor(store.readCredential()), QStringLiteral("stranded-token"));
    QVERIFY(!QFileInfo::exists(store.fallbackFilePath()));
    QCOMPARE(QCoro::waitFor(store.readCredential()), QStringLiteral("stranded-token"));
}

void tst_AccountCredentialKeychain::clearRemovesIt()
{
    const AccountCredentialStore store(QStringLiteral("com.corvanta.test.clear"));
    QCoro::waitFor(store.storeCredential(QStringLiteral("to-be-cleared")));
    QCOMPARE(QCoro::waitFor(store.readCredential()), QStringLiteral("to-be-cleared"));
    QCoro::waitFor(store.clearCredential());
    QCOMPARE(QCoro::waitFor(store.readCredential()), QString());
    QCoro::waitFor(store.clearCredential()); // nothing left to clear is fine
}

QTEST_GUILESS_MAIN(tst_AccountCredentialKeychain)
#include "tst_accountcredentialkeychain.moc"
