#include "WpsDetection.h"

#include <algorithm>

namespace WpsDetection {

bool matches(const RunningApplication &application)
{
    const QString bundle = application.bundleIdentifier.toLower();
    const QString name = application.localizedName.toLower();
    // "kingsoft.wpsoffice" contains "wpsoffice": one test covers both identifiers.
    return bundle.contains(QLatin1String("wpsoffice")) || name == QLatin1String("wps office")
        || name.contains(QLatin1String("wpsoffice"));
}

bool isWpsRunning()
{
    const QList<RunningApplication> running = RunningApplications::list();
    return std::any_of(running.begin(), running.end(), &matches);
}

} // namespace WpsDetection
