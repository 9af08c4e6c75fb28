#include "AccountCredentialStore.h"

#include "core/AppConstants.h"
#include "core/Failure.h"
#include "core/ToolPaths.h"
#include "core/Failure.h"

#include <QCoro/QCoroSignal>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <memory>

namespace {

const QString fallbackFileName = QStringLiteral("account-credential");

struct JobOutcome
{
    QKeychain::Error error = QKeychain::NoError;
    QString text;
};

// No keychain service answers at all: the only case where the private file is used.
bool backendUnavailable(QKeychain::Error error)
{
    return error == QKeychain::NoBackendAvailable || error == QKeychain::NotImplemented
        || error == QKeychain::OtherError;
}

struct JobDeleter
{
    void operator()(QKeychain::Job *job) const { job->deleteLater(); }
};

// Starts the job from the event loop, after the coroutine listens for finished, and owns it.
QCoro::Task<JobOutcome> runJob(QKeychain::Job *rawJob)
{
    std::unique_ptr<QKeychain::Job, JobDeleter> job(rawJob);
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    QTimer::singleShot(0, job.get(), &QKeychain::Job::start);
    co_await qCoro(job.get(), &QKeychain::Job::finished);
    JobOutcome outcome{job->error(), {}};
    if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(job.get()); read && outcome.error == QKeychain::NoError)
        outcome.text = read->textData();
    co_return outcome;
}

QCoro::Task<JobOutcome> readFromKeychain(QString service)
{
    auto *job = new QKeychain::ReadPasswordJob(service);
    job->setKey(AccountCredentialStore::keychainKey);
    co_return co_await runJob(job);
}

QCoro::Task<JobOutcome> writeToKeychain(QString service, QString credential)
{
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setKey(AccountCredentialStore::keychainKey);
    job->setTextData(credential);
    co_return co_await runJob(job);
}

QCoro::Task<JobOutcome> deleteFromKeychain(QString service)
{
    auto *job = new QKeychain::DeletePasswordJob(service);
    job->setKey(AccountCredentialStore::keychainKey);
    co_return co_await runJob(job);
}

QString readFallbackFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void writeFallbackFile(const QString &dir, const QString &path, const QString &credential)
{
    const auto failure = [&path] {
        FailureDetails details;
        details.path = path;
        return Failure(FailureKind::CredentialStorage, std::move(details));
    };
    if (!QDir().mkpath(dir)
        || !QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        throw failure();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        throw failure();
    file.write(credential.toUtf8());
    if (!file.commit())
        throw failure();
}

Failure keychainFailure()
{
    return Failure(FailureKind::CredentialStorage);
}

} // namespace

AccountCredentialStore::AccountCredentialStore(QString serviceName, QString fallbackDir)
    : m_serviceName(serviceName.isEmpty() ? authToolBundleId : std::move(serviceName))
    , m_fallbackDir(fallbackDir.isEmpty() ? ToolPaths::supportDir() + QStringLiteral("/credentials")
                                          : std::move(fallbackDir))
{
}

QString AccountCredentialStore::fallbackFilePath() const
{
    return m_fallbackDir + QLatin1Char('/') + fallbackFileName;
}

QCoro::Task<QString> AccountCredentialStore::readCredential() const
{
    const QString service = m_serviceName;
    const QString fallbackPath = fallbackFilePath();
    const JobOutcome read = co_await readFromKeychain(service);
    if (read.error == QKeychain::NoError)
        co_return read.text;
    if (backendUnavailable(read.error))
        co_return readFallbackFile(fallbackPath);
    if (read.error != QKeychain::EntryNotFound)
        throw keychainFailure();

    // Signed in while no keychain answered: move the credential into the keychain now.
    const QString stranded = readFallbackFile(fallbackPath);
    if (!stranded.isEmpty()) {
        const JobOutcome moved = co_await writeToKeychain(service, stranded);
        if (moved.error == QKeychain::NoError)
            QFile::remove(fallbackPath);
    }
    co_return stranded;
}

QCoro::Task<QString> AccountCredentialStore::requireCredential() const
{
    const QString credential = co_await readCredential();
    if (credential.isEmpty())
        throw Failure(FailureKind::NotSignedIn);
    co_return credential;
}

QCoro::Task<> AccountCredentialStore::storeCredential(QString credential) const
{
    const QString service = m_serviceName;
    const QString fallbackDir = m_fallbackDir;
    const QString fallbackPath = fallbackFilePath();
    const JobOutcome written = co_await writeToKeychain(service, credential);
    if (written.error == QKeychain::NoError) {
        QFile::remove(fallbackPath); // never leave a plain copy beside a working keychain
        co_return;
    }
    if (!backendUnavailable(written.error))
        throw keychainFailure();
    writeFallbackFile(fallbackDir, fallbackPath, credential);
}

QCoro::Task<> AccountCredentialStore::clearCredential() const
{
    const QString service = m_serviceName;
    const QString fallbackPath = fallbackFilePath();
    const JobOutcome deleted = co_await deleteFromKeychain(service);
    QFile::remove(fallbackPath);
    if (deleted.error != QKeychain::NoError && deleted.error != QKeychain::EntryNotFound
        && !backendUnavailable(deleted.error))
        throw keychainFailure();
}
