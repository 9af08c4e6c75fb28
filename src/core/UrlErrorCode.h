#pragma once

// The URL-loading error codes (NSURLErrorDomain) that transport failures carry in their details,
// so a failure below HTTP keeps the platform's well-known number in the log and in diagnostics.
namespace UrlErrorCode {
enum : int {
    Unknown = -1,
    Cancelled = -999,
    BadURL = -1000,
    TimedOut = -1001,
    UnsupportedURL = -1002,
    CannotFindHost = -1003,
    CannotConnectToHost = -1004,
    NetworkConnectionLost = -1005,
    DNSLookupFailed = -1006,
    HTTPTooManyRedirects = -1007,
    NotConnectedToInternet = -1009,
    BadServerResponse = -1011,
    UserAuthenticationRequired = -1013,
    InternationalRoamingOff = -1018,
    AppTransportSecurityRequiresSecureConnection = -1022,
    SecureConnectionFailed = -1200,
    ServerCertificateHasBadDate = -1201,
    ServerCertificateUntrusted = -1202,
    ServerCertificateHasUnknownRoot = -1203,
    ServerCertificateNotYetValid = -1204,
};
}
