#include "ReleaseSigner.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <stdexcept>

void ReleaseSigner::KeyDeleter::operator()(evp_pkey_st *key) const
{
    EVP_PKEY_free(key);
}

ReleaseSigner::ReleaseSigner(const QString &pemPath)
{
    FILE *file = std::fopen(pemPath.toLocal8Bit().constData(), "r");
    if (!file)
        throw std::runtime_error("cannot open signing key " + pemPath.toStdString());
    m_key.reset(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    if (!m_key || EVP_PKEY_id(m_key.get()) != EVP_PKEY_ED25519)
        throw std::runtime_error("no Ed25519 private key in " + pemPath.toStdString());
}

ReleaseSigner::~ReleaseSigner() = default;

QByteArray ReleaseSigner::signedBytes(const QString &version, const QString &fileName, const QString &sha256Hex,
                                     const QString &minManagerVersion)
{
    return (QStringLiteral("corvanta-release-v1\nversion=") + version + QStringLiteral("\nfileName=") + fileName
            + QStringLiteral("\nsha256=") + sha256Hex.toLower() + QStringLiteral("\nminManagerVersion=")
            + minManagerVersion + u'\n')
        .toUtf8();
}

QString ReleaseSigner::sign(const QByteArray &message) const
{
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char signature[64];
    size_t length = sizeof signature;
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1
        || EVP_DigestSign(context.get(), signature, &length, reinterpret_cast<const unsigned char *>(message.constData()),
                          size_t(message.size()))
            != 1)
        throw std::runtime_error("Ed25519 signing failed");
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(signature), qsizetype(length)).toBase64());
}
