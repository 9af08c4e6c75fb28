#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

struct evp_pkey_st;

// Signs as the vendor does: Ed25519 over a release's canonical metadata (see signedBytes), given as
// base64. Throws std::runtime_error when the PEM file holds no Ed25519 private key.
class ReleaseSigner
{
public:
    explicit ReleaseSigner(const QString &pemPath);
    ~ReleaseSigner();

    // UTF-8 "corvanta-release-v1\nversion=…\nfileName=…\nsha256=<lower-case hex>\nminManagerVersion=…\n",
    // an absent value empty: the bytes the tool verifies.
    static QByteArray signedBytes(const QString &version, const QString &fileName, const QString &sha256Hex,
                                  const QString &minManagerVersion);
    QString sign(const QByteArray &message) const;

private:
    struct KeyDeleter
    {
        void operator()(evp_pkey_st *key) const;
    };
    std::unique_ptr<evp_pkey_st, KeyDeleter> m_key;
};
