// WPS's add-in lists as found on disk: the first byte picks "publish.xml" (even) or
// "authaddin.json" (odd), the rest is the file. Both edits of the uninstall and the install run
// over it.
#include "FuzzCheck.h"

#include "core/Failure.h"
#include "plugin/PublishXmlEdit.h"
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

// A list we cannot understand is refused, with this kind and nothing else.
template<typename Edit>
void refusedOrDone(Edit edit)
{
    try {
        edit();
    } catch (const Failure &failure) {
        FUZZ_CHECK(failure.kind() == FailureKind::UnrecognisedWpsFile);
    }
}

void editPublish(const QByteArray &file)
{
    refusedOrDone([&] {
        const QByteArray cleaned = PublishXmlEdit::withoutPluginEntries(file);
        // Nothing of ours is left to find, and a list without entries of ours is left byte for byte.
        FUZZ_CHECK(PublishXmlEdit::withoutPluginEntries(cleaned) == cleaned);
    });
    refusedOrDone([&] {
        const QByteArray registered = PublishXmlEdit::withPluginEntry(file, url, version);
        FUZZ_CHECK(registered.contains("name=\"CorvantaAnalysis\""));
        // Registering twice is registering once; what the install wrote, the uninstall removes.
        FUZZ_CHECK(PublishXmlEdit::withPluginEntry(registered, url, version) == registered);
        FUZZ_CHECK(PublishXmlEdit::withoutPluginEntries(registered).size() < registered.size());
    });
}

void editAuth(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return;
    const QJsonObject cleaned = WpsAddonEdits::withoutAuthEntries(document.object());
    FUZZ_CHECK(!holdsPluginEntry(cleaned));
    WpsAddonEdits::encodeAuthJson(cleaned);
    refusedOrDone([&] {
        const QJsonObject registered =
            WpsAddonEdits::withAuthEntry(document.object(), QStringLiteral("CorvantaAnalysis_1.4.2"), url);
        FUZZ_CHECK(holdsPluginEntry(registered));
        // What the install wrote, the uninstall removes.
        FUZZ_CHECK(!holdsPluginEntry(WpsAddonEdits::withoutAuthEntries(registered)));
        WpsAddonEdits::encodeAuthJson(registered);
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] % 2 == 0)
        editPublish(bytes);
    else
        editAuth(bytes);
    return 0;
}
