#include "ArchiveDownload.h"

#include "core/LocalFiles.h"
#include "plugin/ResumableTransfer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace ArchiveDownload {

namespace {

// The size of this release's partial file when it may be resumed, with its validator; otherwise 0,
// and whatever is left of another attempt is removed.
qint64 resumableSize(const Request &request, QByteArray &validator)
{
    const QFileInfo partial(partialPath(request));
    QJsonObject record;
    QFile sidecar(sidecarPath(request));
    if (sidecar.open(QIODevice::ReadOnly))
        record = QJsonDocument::fromJson(sidecar.read(4096)).object();
    validator = record.value(QLatin1String("validator")).toString().toLatin1();
    const qint64 age = partial.lastModified().secsTo(QDateTime::currentDateTime());
    // A minute of clock skew is forgiven; a date further ahead is not one this tool wrote.
    const bool usable = partial.isFile() && !partial.isSymLink() && partial.size() > 0 && age > -60
        && age < partialMaxAgeSeconds && isHeaderSafe(validator) && !validator.startsWith("W/")
        && record.value(QLatin1String("sha256")).toString() == request.expectedSha256.toLower()
        && record.value(QLatin1String("urlName")).toString() == request.url.fileName();
    if (usable)
        return partial.size();
    QFile::remove(partial.filePath());
    QFile::remove(sidecar.fileName());
    return 0;
}

// Partial files of other releases would never be resumed.
void removeOtherPartials(const QString &downloadDir)
{
    const QDir folder(downloadDir);
    const QStringList names = folder.entryList(QStringList{partialPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        QFile::remove(folder.filePath(name));
}

// One transfer, settled before the next one starts: its record of the partial file must not
// outlive it into the next attempt's.
QCoro::Task<std::optional<QString>> attempt(Request request, qint64 resumeFrom, QByteArray validator,
                                            ProgressHandler progress, QPointer<QObject> owner)
{
    ResumableTransfer transfer(std::move(request), resumeFrom, std::move(validator), std::move(progress), std::move(owner));
    std::optional<QString> archive = co_await transfer.run();
    co_return archive;
}

} // namespace

Failure writeError(const Request &request, const QString &path, int error)
{
    FailureDetails details;
    details.path = LocalFiles::isDiskFull(error) ? request.downloadDir : path;
    details.errorNumber = error;
    return Failure(LocalFiles::isDiskFull(error) ? FailureKind::DiskFull : FailureKind::DownloadWriteFailed, std::move(details));
}

QString partialPath(const Request &request)
{
    return request.downloadDir + QLatin1Char('/') + partialPrefix + request.fileName;
}

QString sidecarPath(const Request &request)
{
    return partialPath(request) + QStringLiteral(".json");
}

bool isHeaderSafe(const QByteArray &value)
{
    return !value.isEmpty() && value.size() < 256
        && std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

bool isSha256Text(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("\\A[0-9A-Fa-f]{64}\\z"));
    return hex.match(text).hasMatch();
}

void requireFetchable(const QUrl &url, const QString &expectedSha256)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        throw Failure(FailureKind::InvalidDownloadAddress);
    if (!isSha256Text(expectedSha256))
        throw Failure(FailureKind::ChecksumMismatch);
}

QCoro::Task<QString> download(Request request, ProgressHandler progress, QPointer<QObject> owner)
{
    requireFetchable(request.url, request.expectedSha256);
    if (const int error = LocalFiles::createDirectories(request.downloadDir))
        throw LocalFiles::isDiskFull(error) ? writeError(request, request.downloadDir, error)
                                : LocalFiles::failure(QStringLiteral("创建下载目录"), request.downloadDir, error);
    QByteArray validator;
    const qint64 resumeFrom = resumableSize(request, validator);
    std::optional<QString> archive = co_await attempt(request, resumeFrom, validator, progress, owner);
    if (!archive)
        archive = co_await attempt(request, 0, {}, progress, owner);
    removeOtherPartials(request.downloadDir);
    co_return *archive;
}

} // namespace ArchiveDownload
