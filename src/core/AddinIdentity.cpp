#include "AddinIdentity.h"

namespace AddinIdentity {

namespace {

constexpr QStringView currentName = u"CorvantaAnalysis";
constexpr QStringView legacyName = u"Corvanta";
constexpr QStringView currentFolderPrefix = u"CorvantaAnalysis_";
constexpr QStringView legacyFolderPrefix = u"Corvanta_";

} // namespace

bool isOwnName(QStringView name)
{
    return name == currentName || name == legacyName;
}

bool isOwnLocation(QStringView location)
{
    return location.contains(currentFolderPrefix) || location.contains(legacyFolderPrefix);
}

bool isOwnEntry(QStringView name, QStringView location)
{
    return isOwnName(name) || isOwnLocation(location);
}

bool isOwnFolderEntry(QStringView name)
{
    return name == currentName || name.startsWith(currentFolderPrefix) || name.startsWith(legacyFolderPrefix);
}

} // namespace AddinIdentity
