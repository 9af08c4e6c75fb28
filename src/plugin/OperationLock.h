#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// One change to WPS's add-in files at a time across every process of the tool (two windows, the
// tool and its command line): a lock file in the support directory. The lock of a process that
// died is taken over.
class OperationLock
{
public:
    // Takes the lock at once or throws Failure: Busy when another holder has it, LockUnavailable
    // when the lock file cannot be made.
    static std::unique_ptr<OperationLock> acquire();
    // The lock file below the current support directory.
    static QString lockFilePath();

    explicit OperationLock(const QString &path);
    ~OperationLock();
    OperationLock(const OperationLock &) = delete;
    OperationLock &operator=(const OperationLock &) = delete;

private:
    QLockFile m_file;
};
