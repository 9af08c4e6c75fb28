// Info.plist bytes of a bundle on disk (ours, a running application's), XML or binary.
#include "platform/AppBundle.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QVariantMap dictionary = AppBundle::propertyListFromBytes(bytes);
    // What the tool reads from it.
    dictionary.value(QStringLiteral("CFBundleIdentifier")).toString();
    dictionary.value(QStringLiteral("CFBundleShortVersionString")).toString();
    return 0;
}
