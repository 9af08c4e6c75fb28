// Version texts from the service and from version.json: two texts separated by the first line
// break, parsed and compared both ways.
#include "FuzzCheck.h"

#include "plugin/PluginVersions.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = input.indexOf(u'\n');
    const QString first = split < 0 ? input : input.left(split);
    const QString second = split < 0 ? QString() : input.mid(split + 1);

    if (const auto parts = PluginVersions::versionParts(first)) {
        FUZZ_CHECK(!parts->isEmpty());
        for (const qint64 part : *parts)
            FUZZ_CHECK(part >= 0);
        // A version always satisfies itself.
        FUZZ_CHECK(PluginVersions::managerSatisfies(first, first));
    }
    const bool forward = PluginVersions::managerSatisfies(first, second);
    const bool backward = PluginVersions::managerSatisfies(second, first);
    // Of two parseable, differing versions exactly one is the newer.
    if (PluginVersions::versionParts(first) && PluginVersions::versionParts(second) && !first.trimmed().isEmpty()
        && !second.trimmed().isEmpty())
        FUZZ_CHECK(forward || backward);
    const PluginInstallState state = PluginVersions::installStateFor(first, second);
    FUZZ_CHECK(state == PluginVersions::installStateFor(first, second.toUpper())
               || second.toUpper().toLower() != second.toLower());
    return 0;
}
