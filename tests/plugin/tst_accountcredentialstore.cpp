#include "core/ToolPaths.h"
#include "plugin/AccountCredentialStore.h"
#include "service/AuthToolError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "ScratchHome.h"

#include <sys/stat.h>

namespace {

// QCoro 0.8's waitFor never returns from a task that throws, so errors are caught inside.
QCoro::Task<> require(const AccountCredentialStore *store, QString *credential, QString *error)
{
    try {
        *credential = co_await store->requireCredential();
    } catch (const std::exception &thrown) {
        *error = describeError(thrown);
    }
}

int modeBits(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace

// No session bus, hence no Secret Service: the store keeps the credential in its private file.
class tst_AccountCredentialStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void fallbackFileRoundTrip();
    void looseDirectoryIsTightened();
    void notSignedInSentence();
};

void tst_AccountCredentialStore::initTestCase()
{
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DISPLAY");
}

void tst_AccountCredentialStore::fallbackFileRoundTrip()
{
    ScratchHome home;
    const AccountCredentialStore store(QStringLiteral("com.corvanta.test.fallback"));
    const QString path = store.fallbackFilePath();
    QCOMPARE(path, ToolPaths::supportDir() + "/credentials/account-credential");
    QCOMPARE(QCoro::waitFor(store.readCredential()), QString());

    const QString credential = QStringLiteral("eyJ0b2tlbiI6 插件 \n");
    QCoro::waitFor(store.storeCredential(credential));
    QCOMPARE(modeBits(path), 0600);
    QCOMPARE(modeBits(QFileInfo(path).path()), 0700);
    QCOMPARE(QCoro::waitFor(store.readCredential()), credential);

    QCoro::waitFor(store.storeCredential(QStringLiteral("second")));
    QCOMPARE(QCoro::waitFor(AccountCredentialStore(QStringLiteral("com.corvanta.test.fallback")).readCredential()),
             QStringLiteral("second"));
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden), QStringList{"account-credential"});

    QCoro::waitFor(store.clearCredential());
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(QCoro::waitFor(store.readCredential()), QString());
}

void tst_AccountCredentialStore::looseDirectoryIsTightened()
{
    ScratchHome home;
    const AccountCredentialStore store;
    const QString dir = QFileInfo(store.fallbackFilePath()).path();
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                           | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    QCoro::waitFor(store.storeCredential(QStringLiteral("token")));
    QCOMPARE(modeBits(dir), 0700);
}

void tst_AccountCredentialStore::notSignedInSentence()
{
    ScratchHome home;
    const AccountCredentialStore store;
    QString credential, error;
    QCoro::waitFor(require(&store, &credential, &error));
    QCOMPARE(error, QStringLiteral("尚未登录 Corvanta 账户，请先登录后再安装。"));

    QCoro::waitFor(store.storeCredential(QStringLiteral("token")));
    error.clear();
    QCoro::waitFor(require(&store, &credential, &error));
    QCOMPARE(error, QString());
    QCOMPARE(credential, QStringLiteral("token"));
}

QTEST_GUILESS_MAIN(tst_AccountCredentialStore)
#include "tst_accountcredentialstore.moc"
