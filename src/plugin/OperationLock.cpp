#include "OperationLock.h"

#include "core/Failure.h"
#include "core/ToolPaths.h"

#include <QDir>

std::unique_ptr<OperationLock> OperationLock::acquire()
{
    QDir().mkpath(ToolPaths::supportDir());
    auto lock = std::make_unique<OperationLock>(lockFilePath());
    // No age limit: an install may hold the lock for minutes; only a dead holder's lock is stale.
    lock->m_file.setStaleLockTime(0);
    if (lock->m_file.tryLock(0))
        return lock;
    if (lock->m_file.error() == QLockFile::LockFailedError)
        throw Failure(FailureKind::Busy);
    FailureDetails details;
    details.path = QDir::toNativeSeparators(lockFilePath());
    throw Failure(FailureKind::LockUnavailable, std::move(details));
}

QString OperationLock::lockFilePath()
{
    return ToolPaths::supportDir() + QStringLiteral("/plugin-operation.lock");
}

OperationLock::OperationLock(const QString &path)
    : m_file(path)
{
}

OperationLock::~OperationLock() = default;
