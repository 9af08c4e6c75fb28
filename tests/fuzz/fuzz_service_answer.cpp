// A service answer: the first two bytes pick the HTTP status, the rest is the body. Success bodies
// go through the envelope, the release descriptor and the name checks; refusals through the
// refusal rules.
#include "FuzzCheck.h"

#include "plugin/PackageNames.h"
#include "core/Failure.h"
#include "service/PluginRelease.h"
#include "service/ServiceAnswer.h"

#include <cstdint>

namespace {

void checkNames(const PluginRelease &release)
{
    QString archive;
    try {
        archive = PackageNames::archiveFileName(release.fileName.value_or(QString()), release.version);
        PackageNames::packageDirectoryName(release.version);
    } catch (const Failure &) {
        return;
    }
    // Whatever the service sends, an accepted name stays one entry inside the folder.
    FUZZ_CHECK(!archive.isEmpty() && !archive.startsWith(u'.'));
    FUZZ_CHECK(!archive.contains(u'/') && !archive.contains(u'\\') && !archive.contains(QLatin1String("..")));
    FUZZ_CHECK(archive.toUtf8().size() <= 255);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int status = 100 + (data[0] << 8 | data[1]) % 900;
    const QByteArray body(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    const Failure refusal = ServiceAnswer::refusal(status, body);
    // Only the service's own words can be empty; a refused sign-in always says what to do.
    FUZZ_CHECK(!refusal.sentence().isEmpty() || refusal.kind() == FailureKind::ServiceRefused);
    FUZZ_CHECK(refusal.kind() == FailureKind::ServiceRefused || refusal.kind() == FailureKind::SignInExpired
               || refusal.kind() == FailureKind::CredentialRefused);

    try {
        const APIEnvelope envelope = ServiceAnswer::envelope(body);
        if (!envelope.data)
            return 0;
        const PluginRelease release = PluginRelease::fromData(*envelope.data);
        FUZZ_CHECK(!release.version.isEmpty() && !release.sha256.isEmpty());
        FUZZ_CHECK(!release.downloadURL || release.downloadURL->isValid());
        checkNames(release);
    } catch (const Failure &) {
    }
    return 0;
}
