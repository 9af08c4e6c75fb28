#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

struct evp_pkey_st;

// Signs as the vendor does: Ed25519 over the 32 bytes of an archive's SHA-256 digest, given as
// base64. Throws std::runtime_error when the PEM file holds no Ed25519 private key.
class ReleaseSigner
{
public:
    explicit ReleaseSigner(const QString &pemPath);
    ~ReleaseSigner();

    QString signDigest(const QString &sha256Hex) const;

private:
    struct KeyDeleter
    {
        void operator()(evp_pkey_st *key) const;
    };
    std::unique_ptr<evp_pkey_st, KeyDeleter> m_key;
};
