#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

// Fetching a release archive into the download directory. The body is streamed to a temporary
// ".download-<UUID>" file and hashed while it arrives, so a large archive is never held in memory
// and never read twice. Only a body whose checksum matches takes the archive's name, so a bad
// download never replaces a good archive already there.
namespace ArchiveDownload {

inline const QString temporaryPrefix = QStringLiteral(".download-");
// Bytes the network layer may buffer ahead of the file; keeps memory flat for any archive size.
inline constexpr qint64 readBufferSize = 256 * 1024;

struct Request
{
    QUrl url;
    QString downloadDir;
    // A single safe entry name (see PackageNames::archiveFileName).
    QString fileName;
    // Hexadecimal, any case.
    QString expectedSha256;
};

// (bytes received, bytes expected or -1 when the server did not say)
using ProgressHandler = std::function<void(qint64, qint64)>;

// Whether text is a SHA-256 digest: 64 hexadecimal digits, any case.
bool isSha256Text(const QString &text);

// Refuses, before anything is requested, an address that is not http(s) with a host
// (InvalidDownloadAddress) and an expected checksum that no file can match (ChecksumMismatch).
void requireFetchable(const QUrl &url, const QString &expectedSha256);

// Downloads with the shared network manager and returns the archive's path. Runs
// requireFetchable first. Throws Failure: ServiceRefused for a refusing status, a transport
// failure for a transfer that fails or is cut short (Cancelled when `owner` is destroyed
// meanwhile), ChecksumMismatch for a body that does not match, DownloadWriteFailed and FileSystem
// for file errors.
// The temporary file is removed on every way out that does not end in success.
QCoro::Task<QString> download(Request request, ProgressHandler progress = {}, QPointer<QObject> owner = {});

} // namespace ArchiveDownload
