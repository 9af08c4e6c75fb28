#pragma once

// What went wrong, as code decides on it: exit codes, clean-ups and retries read the kind, never
// the sentence the user sees (that is made from the kind and its details in Failure::sentence()).
// Add a kind where a caller must tell a failure apart or a sentence of its own is needed; keep the
// numbering stable only within one build (nothing stores it).
enum class FailureKind {
    // A fault of our own or an English error of a library.
    Internal,
    // Connectivity: the tool knows it is offline, or the request found no route.
    Offline,
    // No host, no connection, connection lost, name lookup failed.
    ServiceUnreachable,
    Timeout,
    // Its owner went away or the user stopped it: not a failure to report.
    Cancelled,
    // TLS handshake or certificate refused.
    SecureConnection,
    // Any other failure below HTTP (bad URL, too many redirects, unknown).
    Transport,
    // No account credential is stored on this machine.
    NotSignedIn,
    // The service refused the refresh credential as expired ("refresh_token_invalid").
    SignInExpired,
    // The service refused the credential (401) for another reason.
    CredentialRefused,
    // The service answered with a refusal or an error status.
    ServiceRefused,
    // An answer that is not what the contract describes (not JSON, fields missing or mistyped).
    MalformedAnswer,
    // The system's credential storage (keychain) cannot be read or written.
    CredentialStorage,
    // Another add-in operation holds the lock.
    Busy,
    WpsRunning,
    ChecksumMismatch,
    // An archive entry that would land outside the unpacking folder.
    UnsafeArchive,
    // A package without the files an add-in needs.
    IncompletePackage,
    // A version or file name from outside that cannot safely name a file or folder.
    UnsafeName,
    // The package needs a newer management tool.
    ToolTooOld,
    // Neither the cache nor the service can give a package.
    NoCachedPackage,
    // One of WPS's add-in files is not in a form we can edit; it is left as it was.
    UnrecognisedWpsFile,
    // The installer payload is not in the bundle.
    InstallerMissing,
    InstallerFailed,
    // A program or bundle could not be started.
    LaunchFailed,
    // A file-system step failed (path, action and errno in the details).
    FileSystem,

    // The installer payload's outcomes, read from its exit status; the script's output is the sentence.
    InstallerTimedOut,
    InstallerPackageRefused,
    InstallerCopyFailed,
    InstallerRegistrationFailed,
};
