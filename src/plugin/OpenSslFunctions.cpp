#include "OpenSslFunctions.h"

#include "BuildConfig.h"
#include "core/DeferredLibrary.h"

const OpenSslFunctions &openSsl()
{
    static const OpenSslFunctions functions = [] {
        DeferredLibrary library(BuildConfig::cryptoLibrary);
        return OpenSslFunctions{
            .mdContextNew = DEFERRED_FUNCTION(library, EVP_MD_CTX_new),
            .mdContextFree = DEFERRED_FUNCTION(library, EVP_MD_CTX_free),
            .sha256 = DEFERRED_FUNCTION(library, EVP_sha256),
            .digestInit = DEFERRED_FUNCTION(library, EVP_DigestInit_ex),
            .digestUpdate = DEFERRED_FUNCTION(library, EVP_DigestUpdate),
            .digestFinal = DEFERRED_FUNCTION(library, EVP_DigestFinal_ex),
            .publicKeyFromRaw = DEFERRED_FUNCTION(library, EVP_PKEY_new_raw_public_key),
            .publicKeyFree = DEFERRED_FUNCTION(library, EVP_PKEY_free),
            .digestVerifyInit = DEFERRED_FUNCTION(library, EVP_DigestVerifyInit),
            .digestVerify = DEFERRED_FUNCTION(library, EVP_DigestVerify),
        };
    }();
    return functions;
}
