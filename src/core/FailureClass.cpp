#include "FailureClass.h"

FailureClass FailureClass::of(FailureKind kind)
{
    switch (kind) {
    case FailureKind::Offline:
    case FailureKind::ServiceUnreachable:
    case FailureKind::Timeout:
        return {.network = true, .exitCode = CommandExit::ServiceUnreachable};
    // The proxy stands between the tool and the service: the service cannot be reached until the
    // system's proxy settings carry credentials.
    case FailureKind::ProxyAuthenticationRequired:
        return {.exitCode = CommandExit::ServiceUnreachable};
    case FailureKind::Cancelled:
        return {.cancellation = true};
    case FailureKind::Busy:
        return {.refusal = true, .exitCode = CommandExit::OperationBusy};
    case FailureKind::WpsRunning:
        return {.refusal = true, .exitCode = CommandExit::WpsRunning};
    case FailureKind::NotSignedIn:
    case FailureKind::SignInExpired:
    case FailureKind::CredentialRefused:
        return {.exitCode = CommandExit::SignInRequired};
    // Everything else the sentence explains; the exit code only says it failed.
    case FailureKind::Internal:
    case FailureKind::SecureConnection:
    case FailureKind::Transport:
    case FailureKind::ServiceRefused:
    case FailureKind::MalformedAnswer:
    case FailureKind::NotJson:
    case FailureKind::ReleaseUnavailable:
    case FailureKind::DownloadNotGranted:
    case FailureKind::ReleaseWithoutVersion:
    case FailureKind::ReleaseWithoutChecksum:
    case FailureKind::NoDownloadAddress:
    case FailureKind::InvalidDownloadAddress:
    case FailureKind::CredentialStorage:
    case FailureKind::InvalidSignIn:
    case FailureKind::LockUnavailable:
    case FailureKind::ChecksumMismatch:
    case FailureKind::UnsafeArchive:
    case FailureKind::IncompletePackage:
    case FailureKind::IncompletePackageFolder:
    case FailureKind::UnsafeName:
    case FailureKind::InvalidPackageVersion:
    case FailureKind::ToolTooOld:
    case FailureKind::NoCachedPackage:
    case FailureKind::UnrecognisedWpsFile:
    case FailureKind::NotUtf8:
    case FailureKind::IncompleteInstalledFolder:
    case FailureKind::InstallerMissing:
    case FailureKind::InstallerFailed:
    case FailureKind::EmbeddedToolMissing:
    case FailureKind::InstalledToolNotOpened:
    case FailureKind::LaunchFailed:
    case FailureKind::BundleOpenFailed:
    case FailureKind::FileSystem:
    case FailureKind::FolderStep:
    case FailureKind::NotFileOrFolder:
    case FailureKind::UnreadableFile:
    case FailureKind::DownloadWriteFailed:
    case FailureKind::UnsafeLink:
    case FailureKind::TooManyEntries:
    case FailureKind::PackageTooLarge:
    case FailureKind::UnreadableNames:
    case FailureKind::UnsupportedCompression:
    case FailureKind::EncryptedPackage:
    case FailureKind::NotEnoughDiskSpace:
    case FailureKind::UnpackTimedOut:
    case FailureKind::InstallerTimedOut:
    case FailureKind::InstallerPackageRefused:
    case FailureKind::InstallerCopyFailed:
    case FailureKind::InstallerRegistrationFailed:
    case FailureKind::ReleaseUnsigned:
    case FailureKind::ReleaseSignatureInvalid:
    case FailureKind::EntryLargerThanDeclared:
    case FailureKind::DuplicateEntry:
    case FailureKind::AmbiguousArchive:
    case FailureKind::DiskFull:
    case FailureKind::DownloadTooLarge:
    case FailureKind::DownloadRefused:
    case FailureKind::ReleaseKeysInvalid:
    case FailureKind::RollbackRefused:
    case FailureKind::PolicyInvalid:
    case FailureKind::PinnedVersionExceeded:
    case FailureKind::MirrorWithoutKeys:
    case FailureKind::MirrorUnsigned:
    case FailureKind::MirrorIncomplete:
        break;
    }
    return {};
}
