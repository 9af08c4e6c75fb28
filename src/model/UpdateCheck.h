#pragma once

#include "core/OperationTone.h"
#include "core/PluginInstallState.h"
#include "plugin/PackagePipeline.h"
#include "service/ClientAuthAPI.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <exception>
#include <variant>

// The release query behind the user's update check and the silent refresh, and what the check
// tells the user.
namespace UpdateCheck {

// Why there is no release. Wrapped: a task's own result must not be a bare exception_ptr, which
// the task would take for an error of its own.
struct ReleaseFailure
{
    std::exception_ptr error;
};

// The latest release, or the error of why there is none.
using ReleaseAnswer = std::variant<PluginRelease, ReleaseFailure>;

// Never throws. Takes the client by value: the asker may be gone by the time the answer arrives.
QCoro::Task<ReleaseAnswer> queryLatestRelease(ClientAuthAPI api);
// The same from where the policy sends installs: a mirror's verified release (the pinned one when
// the newest is past it), else the service's.
QCoro::Task<ReleaseAnswer> queryLatestRelease(ClientAuthAPI api, PackagePipeline::Source source);

struct Message
{
    QString text;
    OperationTone tone;
};

// The banner after a check that found `latestVersion`, by the install state it gave.
Message resultMessage(PluginInstallState state, const QString &latestVersion);

} // namespace UpdateCheck
