#pragma once

// What went wrong, as code decides on it: exit codes, clean-ups and retries read the kind, never
// the sentence the user sees (that is made from the kind and its details in Failure::sentenceFor).
// Add a kind where a caller must tell a failure apart or a sentence of its own is needed; keep the
// numbering stable only within one build (nothing stores it). The details each kind's sentence
// reads are named in brackets.
enum class FailureKind {
    // A fault of our own or an English error of a library.
    Internal,

    // Below HTTP [urlCode, host]. Offline and ServiceUnreachable without a urlCode are the
    // online install's own verdict (the tool knows it is offline; the service did not answer).
    // The tool knows it is offline, or the request found no route (-1009).
    Offline,
    // No host, no connection, connection lost, name lookup failed, roaming off.
    ServiceUnreachable,
    Timeout,
    // Its owner went away or the user stopped it: not a failure to report.
    Cancelled,
    // TLS handshake or certificate refused.
    SecureConnection,
    // Any other failure below HTTP (bad URL, too many redirects, bad answer, unknown).
    Transport,

    // The account and the service's answers.
    // No account credential is stored on this machine.
    NotSignedIn,
    // The service refused the refresh credential as expired ("refresh_token_invalid").
    SignInExpired,
    // The service refused the credential (401) for another reason [serviceMessage].
    CredentialRefused,
    // The service answered with a refusal or an error status [reason, serviceMessage, httpStatus].
    ServiceRefused,
    // An answer that is JSON but not the object the contract describes, or too large.
    MalformedAnswer,
    // Bytes that should be JSON and are not (an answer or a file we read).
    NotJson,
    // The release query or the download grant came without data [serviceMessage].
    ReleaseUnavailable,
    DownloadNotGranted,
    // The release lacks its version, its checksum, or (for a download) its address.
    ReleaseWithoutVersion,
    ReleaseWithoutChecksum,
    NoDownloadAddress,
    // The download address is not an http(s) URL with a host.
    InvalidDownloadAddress,
    // The system's credential storage cannot be read or written [path: the private file when
    // no keychain answers].
    CredentialStorage,
    // The site handed over a sign-in that cannot be used.
    InvalidSignIn,

    // Gates of an operation.
    // Another add-in operation holds the lock.
    Busy,
    // The lock file cannot be made [path].
    LockUnavailable,
    // [action: the button's title]
    WpsRunning,

    // Packages.
    ChecksumMismatch,
    // An archive entry that would land outside the unpacking folder.
    UnsafeArchive,
    // A downloaded package without the files an add-in needs.
    IncompletePackage,
    // A package folder handed to the installer lacks its files (a damaged cache).
    IncompletePackageFolder,
    // A version or file name from the service that cannot safely name a file or folder [path:
    // the unsafe file name, empty when the version is the unsafe one].
    UnsafeName,
    // A package's own version cannot name its installed folder.
    InvalidPackageVersion,
    // The package needs a newer management tool [version, requiredVersion].
    ToolTooOld,
    // Neither the cache nor the service can give a package.
    NoCachedPackage,

    // WPS's files and the installer.
    // One of WPS's add-in files is not in a form we can edit; it is left as it was [path: its name].
    UnrecognisedWpsFile,
    // A file that is not UTF-8 text [path].
    NotUtf8,
    // An installed add-in folder that lacks its files is not registered [path].
    IncompleteInstalledFolder,
    // The installer payload is not in the bundle.
    InstallerMissing,
    // [output: what the script printed]
    InstallerFailed,
    // The installer bundle lacks the management tool it should place.
    EmbeddedToolMissing,
    // The placed management tool did not open.
    InstalledToolNotOpened,
    // A program could not be started [path, output: why].
    LaunchFailed,
    // The system's opener of application bundles could not be started [path, output: why].
    BundleOpenFailed,

    // Files.
    // A file-system step failed [action, path, errorNumber].
    FileSystem,
    // A step on a folder failed without a reason from the system [action, path].
    FolderStep,
    // A socket, pipe or device where a file or folder was expected [action, path].
    NotFileOrFolder,
    // A file to read is missing or unreadable [path].
    UnreadableFile,
    // The download cannot be written [path, errorNumber: 0 when unknown].
    DownloadWriteFailed,
    // Refusals of a release archive's content, read before unpacking (links: right after, before it is cached).
    UnsafeLink,
    TooManyEntries,
    PackageTooLarge,
    UnreadableNames,
    UnsupportedCompression,
    EncryptedPackage,
    // The cache's disk cannot hold the unpacked package (the size needed in details.output).
    NotEnoughDiskSpace,
    UnpackTimedOut,

    // The installer payload's outcomes, read from its exit status; the script's output is the sentence.
    InstallerTimedOut,
    InstallerPackageRefused,
    InstallerCopyFailed,
    InstallerRegistrationFailed,

    // Networks with proxies, and releases signed by the vendor.
    // The HTTP proxy asked for credentials (407) that the tool does not have.
    ProxyAuthenticationRequired,
    // A build with release keys got a release without a signature.
    ReleaseUnsigned,
    // The release's signature is not one of the build's keys over the archive's digest.
    ReleaseSignatureInvalid,

    // Reading the archive as it is written, and the download's own refusals.
    // An entry that inflated past the size the archive declares for it [path: the entry's name].
    EntryLargerThanDeclared,
    // The same entry name twice in one archive [path: the name].
    DuplicateEntry,
    // More than one end record, or bytes after the archive that are not its comment: readers
    // could disagree on which entries it holds.
    AmbiguousArchive,
    // The disk filled while writing [path: the folder being written].
    DiskFull,
    // The archive is larger than any package can be (declared or as it arrives).
    DownloadTooLarge,
    // The download server refused the archive [httpStatus].
    DownloadRefused,

    // Managed desktops: release metadata signed whatever the source, the IT department's policy,
    // the internal mirror.
    // The build's release keys cannot be read: every release is refused.
    ReleaseKeysInvalid,
    // The release offered is older than the installed add-in [version: offered, requiredVersion:
    // installed].
    RollbackRefused,
    // The managed policy cannot be read or is not valid [path: where it is, output: why].
    PolicyInvalid,
    // The release offered is past the version the policy pins [version: offered, requiredVersion:
    // pinned].
    PinnedVersionExceeded,
    // The build has no key that could verify a mirror's releases.
    MirrorWithoutKeys,
    // A mirror's release without a signature.
    MirrorUnsigned,
    // A file the mirror should serve is not there [path: its address].
    MirrorIncomplete,
};
