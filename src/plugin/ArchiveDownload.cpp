#include "ArchiveDownload.h"

#include "core/LocalFiles.h"
#include "core/UrlErrorCode.h"
#include "plugin/Sha256Hasher.h"
#include "service/ServiceNetwork.h"
#include "service/TransportFailure.h"

#include <QCoro/QCoroNetworkReply>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QUuid>

#include <cerrno>

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
    const QString temporaryPath = request.downloadDir + QLatin1Char('/') + temporaryPrefix
        + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString destination = request.downloadDir + QLatin1Char('/') + request.fileName;

    Sha256Hasher hasher;
    QFile file(temporaryPath);
    auto removeTemporary = qScopeGuard([&file] {
        file.close();
        file.remove();
    });
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw writeError(temporaryPath, errno);

    bool writeFailed = false;
    int writeErrno = 0;
    qint64 written = 0;
    // Owned, so nothing reaches this frame's locals once they are gone.
    const ServiceNetwork::OwnedReply reply(ServiceNetwork::manager().get(QNetworkRequest(request.url)));
    reply->setReadBufferSize(readBufferSize);
    QNetworkReply *const rawReply = reply.get();

    const auto announcedLength = [rawReply] {
        const QVariant length = rawReply->header(QNetworkRequest::ContentLengthHeader);
        return length.isValid() ? length.toLongLong() : qint64(-1);
    };
    // Runs inside the reply's signals: a failure only schedules the abort, so the coroutine never
    // resumes while this is still on the stack. Progress follows the file, chunk by chunk; Qt's own
    // progress signal is throttled.
    const auto drain = [&] {
        const qint64 before = written;
        while (!writeFailed && rawReply->bytesAvailable() > 0) {
            const QByteArray chunk = rawReply->read(readBufferSize);
            hasher.addData(chunk);
            written += chunk.size();
            errno = 0;
            if (file.write(chunk) != chunk.size()) {
                writeErrno = errno;
                writeFailed = true;
                QMetaObject::invokeMethod(rawReply, &QNetworkReply::abort, Qt::QueuedConnection);
            }
        }
        if (progress && written != before)
            progress(written, announcedLength());
    };
    QObject::connect(rawReply, &QNetworkReply::readyRead, &file, drain);
    if (owner)
        QObject::connect(owner.data(), &QObject::destroyed, rawReply, &QNetworkReply::abort, Qt::QueuedConnection);

    co_await rawReply;

    if (writeFailed)
        throw writeError(temporaryPath, writeErrno);
    if (TransportFailure::isTransportFailure(*rawReply))
        throw TransportFailure::fromReply(*rawReply);
    const QVariant status = rawReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() >= 300))
        throw refusal(status.toInt());
    drain();
    errno = 0;
    if (writeFailed || !file.flush())
        throw writeError(temporaryPath, writeFailed ? writeErrno : errno);
    // A body shorter than announced is a cut connection, whatever the transport said.
    const qint64 announced = announcedLength();
    if (announced >= 0 && announced != written)
        throw TransportFailure::fromCode(UrlErrorCode::NetworkConnectionLost);
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

} // namespace ArchiveDownload
