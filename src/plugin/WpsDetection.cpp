#include "WpsDetection.h"

#include "platform/HostPlatform.h"

#include <algorithm>

namespace WpsDetection {

bool isWpsRunning()
{
    const QList<RunningApplication> running = RunningApplications::list();
    const QList<WpsInstallation> found = HostPlatform::wpsInstallations(running);
    return std::any_of(running.begin(), running.end(), [&](const RunningApplication &application) {
        return HostPlatform::isWpsProcess(application, hostSystem, found);
    });
}

QList<WpsInstallation> installations()
{
    return HostPlatform::wpsInstallations(RunningApplications::list());
}

} // namespace WpsDetection
