// WPS's add-in lists as found on disk: the first byte picks "publish.xml" (even) or
// "authaddin.json" (odd), the rest is the file. Both edits of the uninstall and the install run
// over it.
#include "FuzzCheck.h"

#include "core/AddinIdentity.h"
#include "core/Failure.h"
#include "plugin/AuthAddinJsonEdit.h"
#include "plugin/PublishXmlEdit.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>

namespace {

const QString url = QStringLiteral("file:///Users/a/Library/Containers/com.kingsoft.wpsoffice.mac/Data/.kingsoft/wps/"
                                   "jsaddons/CorvantaAnalysis_1.4.2/");
const QString path = QStringLiteral("/Users/a/Library/Containers/com.kingsoft.wpsoffice.mac/Data/.kingsoft/wps/"
                                    "jsaddons/CorvantaAnalysis_1.4.2");
const QString version = QStringLiteral("1.4.2");

bool holdsPluginEntry(const QJsonObject &group)
{
    for (auto entry = group.begin(); entry != group.end(); ++entry) {
        const QJsonObject fields = entry.value().toObject();
        if (entry.key() != QLatin1String("namelist")
            && AddinIdentity::isOwnEntry(fields.value(QLatin1String("name")).toString(),
                                         fields.value(QLatin1String("path")).toString()))
            return true;
    }
    return false;
}

// A list we cannot understand is refused, with one of these kinds and nothing else.
template<typename Edit>
void refusedOrDone(Edit edit, bool json = false)
{
    try {
        edit();
    } catch (const Failure &failure) {
        FUZZ_CHECK(failure.kind() == FailureKind::UnrecognisedWpsFile || (json && failure.kind() == FailureKind::NotJson));
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

// Every group without entries of ours, and every member that is no group, is as it was; groups
// that held ours hold none now (but the one registered in).
void checkOthersKept(const QJsonObject &before, const QJsonObject &after, bool registering)
{
    for (auto member = before.begin(); member != before.end(); ++member) {
        if (registering && member.key() == QLatin1String("et"))
            continue;
        if (!member.value().isObject() || !holdsPluginEntry(member.value().toObject()))
            FUZZ_CHECK(after.value(member.key()) == member.value());
        else
            FUZZ_CHECK(!holdsPluginEntry(after.value(member.key()).toObject()));
    }
}

void editAuth(const QByteArray &file)
{
    const QJsonObject before = QJsonDocument::fromJson(file).object();
    refusedOrDone(
        [&] {
            const QByteArray cleaned = AuthAddinJsonEdit::withoutPluginEntries(file);
            FUZZ_CHECK(AuthAddinJsonEdit::withoutPluginEntries(cleaned) == cleaned);
            if (cleaned != file)
                checkOthersKept(before, QJsonDocument::fromJson(cleaned).object(), false);
        },
        true);
    refusedOrDone(
        [&] {
            const QByteArray registered = AuthAddinJsonEdit::withPluginEntry(file, QStringLiteral("CorvantaAnalysis_1.4.2"), path);
            const QJsonObject after = QJsonDocument::fromJson(registered).object();
            FUZZ_CHECK(holdsPluginEntry(after.value(QLatin1String("et")).toObject()));
            checkOthersKept(before, after, true);
            // Registering twice is registering once; what the install wrote, the uninstall removes.
            FUZZ_CHECK(AuthAddinJsonEdit::withPluginEntry(registered, QStringLiteral("CorvantaAnalysis_1.4.2"), path)
                       == registered);
            const QJsonObject removed = QJsonDocument::fromJson(AuthAddinJsonEdit::withoutPluginEntries(registered)).object();
            FUZZ_CHECK(!holdsPluginEntry(removed.value(QLatin1String("et")).toObject()));
        },
        true);
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
