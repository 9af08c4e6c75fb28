#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The vendor signs each release with Ed25519 over the 32 bytes of the archive's SHA-256 digest
// (not its hexadecimal text): the digest is already known from the descriptor and checked against
// every byte of the download, so signing it binds the archive as signing the archive would, and
// the vendor signs 32 bytes instead of 50 MB. The public keys are fixed when the tool is built
// (CORVANTA_RELEASE_PUBLIC_KEYS); at most two at once, so the vendor can move to a new key while
// releases signed with the old one are still served.
class ReleaseSignatureVerifier
{
public:
    static constexpr int maxKeys = 2;

    // Keys as base64 of the raw 32-byte Ed25519 public key; defaults to the build's. Entries that
    // are not such a key are ignored (the build refuses them before anything is compiled).
    explicit ReleaseSignatureVerifier(QStringList publicKeys = buildPublicKeys());

    static QStringList buildPublicKeys();

    // A build without keys accepts every release, as before signing existed.
    bool isRequired() const { return !m_keys.isEmpty(); }

    // Throws Failure ReleaseUnsigned when a key is configured and the release has no signature,
    // ReleaseSignatureInvalid when no configured key verifies it over sha256Hex's bytes.
    void verify(const QString &sha256Hex, const std::optional<QString> &signatureBase64) const;

private:
    QList<QByteArray> m_keys;
};
