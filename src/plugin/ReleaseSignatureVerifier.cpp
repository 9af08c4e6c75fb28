#include "ReleaseSignatureVerifier.h"

#include "BuildConfig.h"
#include "core/Failure.h"
#include "plugin/OpenSslFunctions.h"

#include <memory>

namespace {

constexpr int keySize = 32;
constexpr int signatureSize = 64;

bool verifiesWith(const QByteArray &key, const QByteArray &message, const QByteArray &signature)
{
    const OpenSslFunctions &ssl = openSsl();
    const std::unique_ptr<EVP_PKEY, decltype(ssl.publicKeyFree)> publicKey(
        ssl.publicKeyFromRaw(EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char *>(key.constData()),
                             size_t(key.size())),
        ssl.publicKeyFree);
    const std::unique_ptr<EVP_MD_CTX, decltype(ssl.mdContextFree)> context(ssl.mdContextNew(), ssl.mdContextFree);
    if (!publicKey || !context)
        return false;
    // Ed25519 hashes internally: no digest is named.
    if (ssl.digestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) != 1)
        return false;
    return ssl.digestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature.constData()),
                            size_t(signature.size()), reinterpret_cast<const unsigned char *>(message.constData()),
                            size_t(message.size()))
        == 1;
}

// A line break inside a value could make two different releases sign alike.
bool isSingleLine(const QString &value)
{
    return !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r'));
}

QStringList keyList(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

} // namespace

ReleaseSignatureVerifier::ReleaseSignatureVerifier(QStringList publicKeys)
{
    for (const QString &text : std::as_const(publicKeys)) {
        const auto decoded = QByteArray::fromBase64Encoding(text.trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || decoded.decoded.size() != keySize)
            m_keysMalformed = true;
        else
            m_keys.append(decoded.decoded);
    }
    m_keysMalformed = m_keysMalformed || m_keys.size() > maxKeys;
}

QStringList ReleaseSignatureVerifier::buildPublicKeys()
{
    return keyList(BuildConfig::releasePublicKeys);
}

QStringList ReleaseSignatureVerifier::mirrorPublicKeys()
{
    return buildPublicKeys() + keyList(BuildConfig::testReleasePublicKey);
}

QByteArray ReleaseSignatureVerifier::signedBytes(const PluginRelease &release)
{
    const QString text = QStringLiteral("corvanta-release-v1\nversion=") + release.version
        + QStringLiteral("\nfileName=") + release.fileName.value_or(QString())
        + QStringLiteral("\nsha256=") + release.sha256.toLower()
        + QStringLiteral("\nminManagerVersion=") + release.minManagerVersion.value_or(QString()) + u'\n';
    return text.toUtf8();
}

void ReleaseSignatureVerifier::verify(const PluginRelease &release) const
{
    if (!isRequired())
        return;
    if (!m_keysMalformed && (!release.signature || release.signature->trimmed().isEmpty()))
        throw Failure(FailureKind::ReleaseUnsigned);
    requireValidSignature(release);
}

void ReleaseSignatureVerifier::verifyMirrored(const PluginRelease &release) const
{
    if (!isRequired())
        throw Failure(FailureKind::MirrorWithoutKeys);
    if (!m_keysMalformed && (!release.signature || release.signature->trimmed().isEmpty()))
        throw Failure(FailureKind::MirrorUnsigned);
    requireValidSignature(release);
}

void ReleaseSignatureVerifier::requireValidSignature(const PluginRelease &release) const
{
    if (m_keysMalformed)
        throw Failure(FailureKind::ReleaseKeysInvalid);
    const auto signature = QByteArray::fromBase64Encoding(release.signature.value_or(QString()).trimmed().toLatin1(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
    const bool wellFormed = signature && signature.decoded.size() == signatureSize && isSingleLine(release.version)
        && isSingleLine(release.fileName.value_or(QString())) && isSingleLine(release.sha256)
        && isSingleLine(release.minManagerVersion.value_or(QString()));
    if (wellFormed) {
        const QByteArray message = signedBytes(release);
        for (const QByteArray &key : m_keys) {
            if (verifiesWith(key, message, signature.decoded))
                return;
        }
    }
    throw Failure(FailureKind::ReleaseSignatureInvalid);
}
