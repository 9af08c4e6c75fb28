#include "OperationLock.h"

#include "core/DescribedError.h"
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
    throw DescribedError(QStringLiteral("无法创建操作锁文件“") + QDir::toNativeSeparators(lockFilePath())
                         + QStringLiteral("”，请检查该文件夹的权限。"));
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
