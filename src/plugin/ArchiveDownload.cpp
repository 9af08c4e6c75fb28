#include "ArchiveDownload.h"

#include "core/LocalFiles.h"
#include "core/UrlErrorCode.h"
#include "core/WorkerTask.h"
#include "plugin/Sha256Hasher.h"
#include "service/ServiceNetwork.h"
#include "service/TransportFailure.h"

#include <QCoro/QCoroNetworkReply>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace ArchiveDownload {

namespace {

// error is the errno of the failed step, 0 when unknown.
Failure writeError(const QString &path, int error)
{
    FailureDetails details;
    details.path = path;
    details.errorNumber = error;
    return Failure(FailureKind::DownloadWriteFailed, std::move(details));
}

Failure refusal(int status)
{
    FailureDetails details;
    details.httpStatus = status;
    return Failure(FailureKind::ServiceRefused, std::move(details));
}

// Puts the verified file in place in one step: whatever is there stays until the new archive is
// complete.
void moveIntoPlace(const QString &temporary, const QString &destination)
{
    if (const int error = LocalFiles::moveIntoPlace(temporary, destination))
        throw LocalFiles::failure(QStringLiteral("将下载文件移动到"), destination, error);
}

QString partialPath(const Request &request)
{
    return request.downloadDir + QLatin1Char('/') + partialPrefix + request.fileName;
}

QString sidecarPath(const Request &request)
{
    return partialPath(request) + QStringLiteral(".json");
}

// A strong ETag, else the Last-Modified date: what If-Range accepts. Empty when the server gave
// neither, and such a body is not resumed.
QByteArray validatorOf(const QNetworkReply &reply)
{
    const QByteArray etag = reply.rawHeader("ETag");
    if (!etag.isEmpty() && !etag.startsWith("W/"))
        return etag;
    return reply.rawHeader("Last-Modified");
}

bool isHeaderSafe(const QByteArray &value)
{
    return !value.isEmpty() && value.size() < 256
        && std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

// First byte of a 206 answer's "bytes FIRST-LAST/TOTAL"; -1 when it is not that.
qint64 rangeStart(const QNetworkReply &reply)
{
    static const QRegularExpression contentRange(QStringLiteral("\\Abytes (\\d+)-\\d+/(\\d+|\\*)\\z"));
    const auto match = contentRange.match(QString::fromLatin1(reply.rawHeader("Content-Range")).trimmed());
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

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
        && age < partialMaxAgeSeconds && isHeaderSafe(validator)
        && record.value(QLatin1String("sha256")).toString() == request.expectedSha256.toLower()
        && record.value(QLatin1String("urlName")).toString() == request.url.fileName();
    if (usable)
        return partial.size();
    QFile::remove(partial.filePath());
    QFile::remove(sidecar.fileName());
    return 0;
}

// Keeps a broken transfer's bytes for the next attempt. Best effort: without its sidecar the
// partial file is removed at the next start.
void keepForResume(QFile &file, const Request &request, const QByteArray &validator)
{
    file.close();
    if (!isHeaderSafe(validator) || file.size() <= 0 || LocalFiles::moveIntoPlace(file.fileName(), partialPath(request)) != 0)
        return;
    const QJsonObject record{{QStringLiteral("validator"), QString::fromLatin1(validator)},
                             {QStringLiteral("urlName"), request.url.fileName()},
                             {QStringLiteral("sha256"), request.expectedSha256.toLower()}};
    QFile sidecar(sidecarPath(request));
    if (!sidecar.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || sidecar.write(QJsonDocument(record).toJson(QJsonDocument::Compact)) < 0 || !sidecar.flush())
        QFile::remove(partialPath(request));
}

// Partial files of other releases would never be resumed.
void removeOtherPartials(const QString &downloadDir)
{
    const QDir folder(downloadDir);
    const QStringList names = folder.entryList(QStringList{partialPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        QFile::remove(folder.filePath(name));
}

// One request for the body. Returns nothing when the server cannot go on where the partial file
// ends, so the caller asks again for all of it.
QCoro::Task<std::optional<QString>> transfer(Request request, qint64 resumeFrom, QByteArray validator,
                                             ProgressHandler progress, QPointer<QObject> owner)
{
    const QString temporaryPath = request.downloadDir + QLatin1Char('/') + temporaryPrefix
        + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString destination = request.downloadDir + QLatin1Char('/') + request.fileName;

    Sha256Hasher hasher;
    QFile file(temporaryPath);
    auto removeTemporary = qScopeGuard([&file] {
        file.close();
        file.remove();
    });
    if (resumeFrom > 0) {
        QFile::remove(sidecarPath(request));
        if (LocalFiles::moveIntoPlace(partialPath(request), temporaryPath) != 0)
            co_return std::nullopt;
        // The bytes kept may run to the whole archive: read back on the pool, not the window's thread.
        auto rehash = [&hasher, temporaryPath] { hasher.addFile(temporaryPath); return true; }; // named: see runOffGuiThread
        co_await runOffGuiThread(std::move(rehash));
    }
    errno = 0;
    if (!file.open(resumeFrom > 0 ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly | QIODevice::NewOnly))
        throw writeError(temporaryPath, errno);

    QNetworkRequest networkRequest(request.url);
    if (resumeFrom > 0) {
        networkRequest.setRawHeader("Range", "bytes=" + QByteArray::number(resumeFrom) + '-');
        networkRequest.setRawHeader("If-Range", validator);
    }
    bool writeFailed = false;
    int writeErrno = 0;
    bool decided = false;
    bool restart = false;
    qint64 base = resumeFrom; // body bytes before this answer's first one
    qint64 written = 0;
    // Owned, so nothing reaches this frame's locals once they are gone.
    const ServiceNetwork::OwnedReply reply(ServiceNetwork::manager().get(networkRequest));
    reply->setReadBufferSize(readBufferSize);
    QNetworkReply *const rawReply = reply.get();

    const auto announcedLength = [rawReply] {
        const QVariant length = rawReply->header(QNetworkRequest::ContentLengthHeader);
        return length.isValid() ? length.toLongLong() : qint64(-1);
    };
    const auto abortLater = [rawReply] {
        QMetaObject::invokeMethod(rawReply, &QNetworkReply::abort, Qt::QueuedConnection);
    };
    // Whether the answer continues the partial file: a 206 from exactly its end under the same
    // validator. A whole body (200) replaces it in place; anything else is asked for again.
    const auto decide = [&] {
        decided = true;
        if (resumeFrom == 0)
            return;
        const int status = rawReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 206 && rangeStart(*rawReply) == resumeFrom && validatorOf(*rawReply) == validator) {
            if (progress) {
                const qint64 announced = announcedLength();
                progress(resumeFrom, announced >= 0 ? resumeFrom + announced : -1);
            }
            return;
        }
        if (status == 200) {
            base = 0;
            hasher.reset();
            if (!file.resize(0)) {
                writeErrno = errno;
                writeFailed = true;
                abortLater();
            }
            return;
        }
        if (status == 206 || status == 416) {
            restart = true;
            abortLater();
        }
    };
    // Runs inside the reply's signals: a failure only schedules the abort, so the coroutine never
    // resumes while this is still on the stack. Progress follows the file, chunk by chunk; Qt's own
    // progress signal is throttled.
    const auto drain = [&] {
        if (!decided)
            decide();
        const qint64 before = written;
        while (!writeFailed && !restart && rawReply->bytesAvailable() > 0) {
            const QByteArray chunk = rawReply->read(readBufferSize);
            hasher.addData(chunk);
            written += chunk.size();
            errno = 0;
            if (file.write(chunk) != chunk.size()) {
                writeErrno = errno;
                writeFailed = true;
                abortLater();
            }
        }
        if (progress && written != before) {
            const qint64 announced = announcedLength();
            progress(base + written, announced >= 0 ? base + announced : -1);
        }
    };
    QObject::connect(rawReply, &QNetworkReply::readyRead, &file, drain);
    if (owner)
        QObject::connect(owner.data(), &QObject::destroyed, rawReply, &QNetworkReply::abort, Qt::QueuedConnection);

    co_await rawReply;

    if (!decided && !TransportFailure::isTransportFailure(*rawReply))
        decide();
    if (writeFailed)
        throw writeError(temporaryPath, writeErrno);
    if (restart)
        co_return std::nullopt;
    if (TransportFailure::isTransportFailure(*rawReply)) {
        Failure failure = TransportFailure::fromReply(*rawReply);
        if (failure.kind() == FailureKind::ServiceUnreachable) {
            // What the reply still holds arrived before the break and belongs to the partial file.
            drain();
            if (!writeFailed && !restart)
                keepForResume(file, request, validatorOf(*rawReply));
        }
        throw failure;
    }
    const QVariant status = rawReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() >= 300))
        throw refusal(status.toInt());
    drain();
    errno = 0;
    if (writeFailed || !file.flush())
        throw writeError(temporaryPath, writeFailed ? writeErrno : errno);
    // A body shorter than announced is a cut connection, whatever the transport said.
    const qint64 announced = announcedLength();
    if (announced >= 0 && announced != written) {
        keepForResume(file, request, validatorOf(*rawReply));
        throw TransportFailure::fromCode(UrlErrorCode::NetworkConnectionLost);
    }
    errno = 0;
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw writeError(temporaryPath, errno);

    if (hasher.hexDigest() != request.expectedSha256.toLower())
        throw Failure(FailureKind::ChecksumMismatch);
    moveIntoPlace(temporaryPath, destination);
    removeTemporary.dismiss();
    co_return destination;
}

} // namespace

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
        throw LocalFiles::failure(QStringLiteral("创建下载目录"), request.downloadDir, error);
    QByteArray validator;
    const qint64 resumeFrom = resumableSize(request, validator);
    std::optional<QString> archive = co_await transfer(request, resumeFrom, validator, progress, owner);
    if (!archive)
        archive = co_await transfer(request, 0, {}, progress, owner);
    removeOtherPartials(request.downloadDir);
    co_return *archive;
}

} // namespace ArchiveDownload
