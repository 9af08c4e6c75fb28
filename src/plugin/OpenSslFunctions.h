#pragma once

#include <openssl/evp.h>

// The functions of libcrypto that hashing and signature checks call. libcrypto is opened with the
// first of them, not at start (Qt's TLS opens it anyway once the service is asked).
struct OpenSslFunctions
{
    decltype(&EVP_MD_CTX_new) mdContextNew;
    decltype(&EVP_MD_CTX_free) mdContextFree;
    decltype(&EVP_sha256) sha256;
    decltype(&EVP_DigestInit_ex) digestInit;
    decltype(&EVP_DigestUpdate) digestUpdate;
    decltype(&EVP_DigestFinal_ex) digestFinal;
    decltype(&EVP_PKEY_new_raw_public_key) publicKeyFromRaw;
    decltype(&EVP_PKEY_free) publicKeyFree;
    decltype(&EVP_DigestVerifyInit) digestVerifyInit;
    decltype(&EVP_DigestVerify) digestVerify;
};

// Throws when libcrypto cannot be opened.
const OpenSslFunctions &openSsl();
