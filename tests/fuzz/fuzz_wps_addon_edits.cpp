// WPS's add-in lists as found on disk: the first byte picks "publish.xml" (even) or
// "authaddin.json" (odd), the rest is the file. Both edits of the uninstall and the install run
// over it.
#include "FuzzCheck.h"

#include "core/Failure.h"
#include "plugin/WpsAddonEdits.h"

#include <QJsonDocument>

#include <cstdint>

namespace {

const QString url = QStringLiteral("file:///Users/a/Library/Containers/com.kingsoft.wpsoffice.mac/Data/.kingsoft/wps/"
                                   "jsaddons/CorvantaAnalysis_1.4.2/");
const QString version = QStringLiteral("1.4.2");

bool holdsPluginEntry(const QJsonObject &root)
{
    for (auto group = root.begin(); group != root.end(); ++group) {
        const QJsonObject entries = group.value().toObject();
        for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
            const QJsonObject fields = entry.value().toObject();
            if (fields.value(QLatin1String("name")).toString() == QLatin1String("CorvantaAnalysis"))
                return true;
        }
    }
    return false;
}

void editPublish(const QString &xml)
{
    WpsAddonEdits::withoutPublishEntries(xml);
    try {
        const QString registered = WpsAddonEdits::withPublishEntry(xml, url, version);
        FUZZ_CHECK(registered.contains(QStringLiteral("name=\"CorvantaAnalysis\"")));
    } catch (const Failure &) {
        // A list that cannot be understood is left alone.
    }
}

void editAuth(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return;
    const QJsonObject cleaned = WpsAddonEdits::withoutAuthEntries(document.object());
    FUZZ_CHECK(!holdsPluginEntry(cleaned));
    WpsAddonEdits::encodeAuthJson(cleaned);
    try {
        const QJsonObject registered =
            WpsAddonEdits::withAuthEntry(document.object(), QStringLiteral("CorvantaAnalysis_1.4.2"), url);
        FUZZ_CHECK(holdsPluginEntry(registered));
        // What the install wrote, the uninstall removes.
        FUZZ_CHECK(!holdsPluginEntry(WpsAddonEdits::withoutAuthEntries(registered)));
        WpsAddonEdits::encodeAuthJson(registered);
    } catch (const Failure &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] % 2 == 0)
        editPublish(QString::fromUtf8(bytes));
    else
        editAuth(bytes);
    return 0;
}
