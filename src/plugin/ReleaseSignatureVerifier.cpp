#include "ReleaseSignatureVerifier.h"

#include "BuildConfig.h"
#include "core/Failure.h"

#include <openssl/evp.h>

#include <memory>

namespace {

constexpr int keySize = 32;
constexpr int digestSize = 32;
constexpr int signatureSize = 64;

bool verifiesWith(const QByteArray &key, const QByteArray &message, const QByteArray &signature)
{
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> publicKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char *>(key.constData()),
                                    size_t(key.size())),
        EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!publicKey || !context)
        return false;
    // Ed25519 hashes internally: no digest is named.
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature.constData()),
                            size_t(signature.size()), reinterpret_cast<const unsigned char *>(message.constData()),
                            size_t(message.size()))
        == 1;
}

} // namespace

ReleaseSignatureVerifier::ReleaseSignatureVerifier(QStringList publicKeys)
{
    for (const QString &text : std::as_const(publicKeys)) {
        const auto decoded = QByteArray::fromBase64Encoding(text.trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded && decoded.decoded.size() == keySize && m_keys.size() < maxKeys)
            m_keys.append(decoded.decoded);
    }
}

QStringList ReleaseSignatureVerifier::buildPublicKeys()
{
    return QString::fromLatin1(BuildConfig::releasePublicKeys).split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

void ReleaseSignatureVerifier::verify(const QString &sha256Hex, const std::optional<QString> &signatureBase64) const
{
    if (m_keys.isEmpty())
        return;
    if (!signatureBase64 || signatureBase64->trimmed().isEmpty())
        throw Failure(FailureKind::ReleaseUnsigned);
    const auto signature =
        QByteArray::fromBase64Encoding(signatureBase64->trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray digest = QByteArray::fromHex(sha256Hex.toLatin1());
    if (signature && signature.decoded.size() == signatureSize && digest.size() == digestSize) {
        for (const QByteArray &key : m_keys) {
            if (verifiesWith(key, digest, signature.decoded))
                return;
        }
    }
    throw Failure(FailureKind::ReleaseSignatureInvalid);
}
