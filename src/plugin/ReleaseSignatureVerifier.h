#pragma once

#include "service/PluginRelease.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The vendor signs each release with Ed25519 over its metadata: the version, the file name, the
// archive's SHA-256 and the tool version it needs, as one canonical byte string (signedBytes). The
// digest is checked against every byte of the download, so the signature binds the archive too,
// and no field a desktop acts on (which version it is, whether it may be installed) can be changed
// or dropped on the way. The public keys are fixed when the tool is built
// (CORVANTA_RELEASE_PUBLIC_KEYS); at most two at once, so the vendor can move to a new key while
// releases signed with the old one are still served.
class ReleaseSignatureVerifier
{
public:
    static constexpr int maxKeys = 2;

    // Keys as base64 of the raw 32-byte Ed25519 public key; defaults to the build's. A list with an
    // entry that is not such a key, or with too many, refuses every release: a key list nobody can
    // read must never turn the check off.
    explicit ReleaseSignatureVerifier(QStringList publicKeys = buildPublicKeys());

    static QStringList buildPublicKeys();
    // The keys a mirror's releases are checked with: the build's, and in a build against a loopback
    // service (the stand-in's) also the stand-in's test key, so the suites can sign mirrors.
    static QStringList mirrorPublicKeys();

    // A build without keys accepts every release from the vendor's service, as before signing existed.
    bool isRequired() const { return !m_keys.isEmpty() || m_keysMalformed; }

    // What the vendor signs, UTF-8: "corvanta-release-v1\nversion=V\nfileName=F\nsha256=H\n
    // minManagerVersion=M\n", H in lower case, an absent field as an empty value.
    static QByteArray signedBytes(const PluginRelease &release);

    // Throws Failure ReleaseKeysInvalid when the key list cannot be read, ReleaseUnsigned when a key
    // is configured and the release has no signature, ReleaseSignatureInvalid when no configured key
    // verifies it over signedBytes (a signature over the bare digest, the old form, included).
    void verify(const PluginRelease &release) const;
    // The same for a release from a mirror, which must be signed whatever the build:
    // MirrorWithoutKeys in a build without keys, MirrorUnsigned for a release without a signature.
    void verifyMirrored(const PluginRelease &release) const;

private:
    void requireValidSignature(const PluginRelease &release) const;

    QList<QByteArray> m_keys;
    bool m_keysMalformed = false;
};
