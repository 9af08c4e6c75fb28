#include "WpsDetection.h"

#include "platform/HostPlatform.h"

#include <algorithm>

namespace WpsDetection {

bool matches(const RunningApplication &application)
{
    return HostPlatform::isWpsProcess(application);
}

bool isWpsRunning()
{
    const QList<RunningApplication> running = RunningApplications::list();
    return std::any_of(running.begin(), running.end(), &matches);
}

} // namespace WpsDetection
