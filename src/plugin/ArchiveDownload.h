#pragma once

#include "core/Failure.h"

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
//
// A transfer whose connection breaks keeps what it received as ".partial-<file name>", with a
// sidecar ".partial-<file name>.json" naming the server's validator (ETag, else Last-Modified), the
// address's file name and the expected checksum. The next download of the same release reads the
// partial file back into the hash and asks only for the rest (Range with If-Range); an answer of
// the whole body, another validator, a range that starts elsewhere, or a partial file older than a
// day starts from the first byte. Only a strong validator is recorded (If-Range compares strongly).
// A cut connection, and a disk that filled, keep what arrived; an attempt that got no answer
// leaves the partial file as it was; a cancelled, timed-out, refused, too large or otherwise
// unwritable transfer keeps nothing.
namespace ArchiveDownload {

inline const QString temporaryPrefix = QStringLiteral(".download-");
inline const QString partialPrefix = QStringLiteral(".partial-");
inline constexpr int partialMaxAgeSeconds = 24 * 60 * 60;
// Bytes the network layer may buffer ahead of the file; keeps memory flat for any archive size.
inline constexpr qint64 readBufferSize = 256 * 1024;
// The bound of a package unpacked (PackageArchive::maxUnpackedBytes) holds for its archive too:
// one past it is refused by its announced length, or stopped where its body passes it.
inline constexpr qint64 maxArchiveBytes = 2'000'000'000;

struct Request
{
    QUrl url;
    QString downloadDir;
    // A single safe entry name (see PackageNames::archiveFileName).
    QString fileName;
    // Hexadecimal, any case.
    QString expectedSha256;
    qint64 maxBytes = maxArchiveBytes;
};

// (bytes received, bytes expected or -1 when the server did not say); a resumed download starts
// at the size it already has.
using ProgressHandler = std::function<void(qint64, qint64)>;

// The partial file of a request's release and its record; shared with the transfer
// (ResumableTransfer), which writes them.
QString partialPath(const Request &request);
QString sidecarPath(const Request &request);
// Whether a validator can be sent back as a header as it is.
bool isHeaderSafe(const QByteArray &value);
// error is the errno of the failed step, 0 when unknown. A full disk names the folder: room is
// made there, whichever file was being written.
Failure writeError(const Request &request, const QString &path, int error);

// Whether text is a SHA-256 digest: 64 hexadecimal digits, any case.
bool isSha256Text(const QString &text);

// Refuses, before anything is requested, an address that is not http(s) with a host
// (InvalidDownloadAddress) and an expected checksum that no file can match (ChecksumMismatch).
void requireFetchable(const QUrl &url, const QString &expectedSha256);

// Downloads with the shared network manager and returns the archive's path. Runs
// requireFetchable first. Throws Failure: DownloadRefused for a refusing status, DownloadTooLarge
// past maxBytes, a transport failure for a transfer that fails or is cut short (Cancelled when
// `owner` is destroyed meanwhile), ChecksumMismatch for a body that does not match, DiskFull,
// DownloadWriteFailed and FileSystem for file errors.
// The temporary file is removed on every way out that does not end in success.
QCoro::Task<QString> download(Request request, ProgressHandler progress = {}, QPointer<QObject> owner = {});

} // namespace ArchiveDownload
