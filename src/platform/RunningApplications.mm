#include "RunningApplications.h"

#import <AppKit/AppKit.h>

#include <csignal>

namespace {

NSRunningApplication *applicationWithPid(qint64 pid)
{
    return [NSRunningApplication runningApplicationWithProcessIdentifier:pid_t(pid)];
}

} // namespace

namespace RunningApplications {

QList<RunningApplication> list()
{
    QList<RunningApplication> applications;
    @autoreleasepool {
        for (NSRunningApplication *app in NSWorkspace.sharedWorkspace.runningApplications) {
            RunningApplication entry;
            entry.pid = app.processIdentifier;
            entry.bundleIdentifier = QString::fromNSString(app.bundleIdentifier ?: @"");
            entry.localizedName = QString::fromNSString(app.localizedName ?: @"");
            entry.bundlePath = QString::fromNSString(app.bundleURL.path ?: @"");
            entry.executablePath = QString::fromNSString(app.executableURL.path ?: @"");
            applications.append(entry);
        }
    }
    return applications;
}

bool terminate(qint64 pid)
{
    @autoreleasepool {
        NSRunningApplication *app = applicationWithPid(pid);
        return app && [app terminate];
    }
}

bool forceTerminate(qint64 pid)
{
    @autoreleasepool {
        NSRunningApplication *app = applicationWithPid(pid);
        return app && [app forceTerminate];
    }
}

bool isTerminated(qint64 pid)
{
    @autoreleasepool {
        NSRunningApplication *app = applicationWithPid(pid);
        return !app || app.terminated;
    }
}

} // namespace RunningApplications
