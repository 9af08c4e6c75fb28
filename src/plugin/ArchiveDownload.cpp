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

bool isDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

// error is the errno of the failed step, 0 when unknown. A full disk names the folder: room is
// made there, whichever file was being written.
Failure writeError(const Request &request, const QString &path, int error)
{
    FailureDetails details;
    details.path = isDiskFull(error) ? request.downloadDir : path;
    details.errorNumber = error;
    return Failure(isDiskFull(error) ? FailureKind::DiskFull : FailureKind::DownloadWriteFailed, std::move(details));
}

// The download server's own refusal: nothing to do with the account, whatever the status.
Failure refusal(int status)
{
    FailureDetails details;
    details.httpStatus = status;
    return Failure(FailureKind::DownloadRefused, std::move(details));
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

// Qt's own reader of HTTP dates (all three forms), reached through a header it parses.
QDateTime httpDate(const QByteArray &text)
{
    QNetworkRequest parser;
    parser.setRawHeader("Last-Modified", text);
    return parser.header(QNetworkRequest::LastModifiedHeader).toDateTime();
}

// What If-Range may carry: a strong ETag; only when there is no ETag at all, a Last-Modified date at
// least a second before the answer's Date (a date within the second it was sent may name two
// versions). Empty otherwise, and such a body is not resumed.
QByteArray validatorOf(const QNetworkReply &reply)
{
    const QByteArray etag = reply.rawHeader("ETag");
    if (!etag.isEmpty())
        return etag.startsWith("W/") ? QByteArray() : etag;
    const QByteArray lastModified = reply.rawHeader("Last-Modified");
    const QDateTime modified = httpDate(lastModified);
    const QDateTime date = httpDate(reply.rawHeader("Date"));
    if (!modified.isValid() || !date.isValid() || modified.secsTo(date) < 1)
        return {};
    return lastModified;
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
        && age < partialMaxAgeSeconds && isHeaderSafe(validator) && !validator.startsWith("W/")
        && record.value(QLatin1String("sha256")).toString() == request.expectedSha256.toLower()
        && record.value(QLatin1String("urlName")).toString() == request.url.fileName();
    if (usable)
        return partial.size();
    QFile::remove(partial.filePath());
    QFile::remove(sidecar.fileName());
    return 0;
}

// Records which answer the bytes to come belong to, before they arrive: a disk that fills while
// they are written leaves no room for the record. Best effort: without it nothing is kept.
void recordValidator(const Request &request, const QByteArray &validator)
{
    QFile::remove(sidecarPath(request));
    if (!isHeaderSafe(validator))
        return;
    const QJsonObject record{{QStringLiteral("validator"), QString::fromLatin1(validator)},
                             {QStringLiteral("urlName"), request.url.fileName()},
                             {QStringLiteral("sha256"), request.expectedSha256.toLower()}};
    QFile sidecar(sidecarPath(request));
    if (!sidecar.open(QIODevice::WriteOnly | QIODevice::NewOnly)
        || sidecar.write(QJsonDocument(record).toJson(QJsonDocument::Compact)) < 0 || !sidecar.flush()) {
        sidecar.close();
        QFile::remove(sidecarPath(request));
    }
}

// Ends an attempt that did not produce the archive: the bytes are kept as the partial file when
// `keep` says so and their record is there, else removed with the record.
void settle(QFile &file, const Request &request, bool keep)
{
    file.close();
    if (keep && file.size() > 0 && QFile::exists(sidecarPath(request))
        && LocalFiles::moveIntoPlace(file.fileName(), partialPath(request)) == 0)
        return;
    file.remove();
    QFile::remove(sidecarPath(request));
}

// A redirect the network layer goes on to follow: its answer is not the archive's.
bool isRedirect(const QNetworkReply &reply, int status)
{
    return status >= 300 && status < 400 && reply.hasRawHeader("Location");
}

// Partial files of other releases would never be resumed.
void removeOtherPartials(const QString &downloadDir)
{
    const QDir folder(downloadDir);
    const QStringList names = folder.entryList(QStringList{partialPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        QFile::remove(folder.filePath(name));
}

// Why a transfer stopped before its end.
enum class Halt { None, Restart, Refused, TooLarge, WriteFailed };

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
    // Until an answer arrives, the partial file being resumed stays what it was.
    bool keep = resumeFrom > 0;
    auto settleOnExit = qScopeGuard([&] { settle(file, request, keep); });
    if (resumeFrom > 0) {
        if (LocalFiles::moveIntoPlace(partialPath(request), temporaryPath) != 0)
            co_return std::nullopt;
        // The bytes kept may run to the whole archive: read back on the pool, not the window's thread.
        auto rehash = [&hasher, temporaryPath] { hasher.addFile(temporaryPath); return true; }; // named: see runOffGuiThread
        co_await runOffGuiThread(std::move(rehash));
    }
    errno = 0;
    // Unbuffered: a write the disk refuses fails at once, and the file holds exactly the bytes before it.
    const auto mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (!file.open(resumeFrom > 0 ? mode | QIODevice::Append : mode | QIODevice::NewOnly))
        throw writeError(request, temporaryPath, errno);

    QNetworkRequest networkRequest(request.url);
    if (resumeFrom > 0) {
        networkRequest.setRawHeader("Range", "bytes=" + QByteArray::number(resumeFrom) + '-');
        networkRequest.setRawHeader("If-Range", validator);
    }
    Halt halt = Halt::None;
    int writeErrno = 0;
    int status = 0;
    bool decided = false;
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
    // Runs inside the reply's signals: stopping only schedules the abort, so the coroutine never
    // resumes while this is still on the stack.
    const auto stop = [&](Halt why) {
        if (halt != Halt::None)
            return;
        halt = why;
        QMetaObject::invokeMethod(rawReply, &QNetworkReply::abort, Qt::QueuedConnection);
    };
    // Whether the answer continues the partial file: a 206 from exactly its end under the same
    // validator. A whole body replaces it in place; another range is asked for again; a refusal
    // or a length past the cap stops before the body.
    const auto decide = [&] {
        status = rawReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (isRedirect(*rawReply, status))
            return;
        decided = true;
        keep = false;
        const bool continues = resumeFrom > 0 && status == 206 && rangeStart(*rawReply) == resumeFrom
            && validatorOf(*rawReply) == validator;
        if (resumeFrom > 0 && !continues && (status == 206 || status == 416))
            return stop(Halt::Restart);
        if (status < 200 || status >= 300)
            return stop(Halt::Refused);
        if (!continues) {
            base = 0;
            hasher.reset();
            errno = 0;
            if (resumeFrom > 0 && !file.resize(0)) {
                writeErrno = errno;
                return stop(Halt::WriteFailed);
            }
            recordValidator(request, validatorOf(*rawReply));
        }
        const qint64 announced = announcedLength();
        if (announced > request.maxBytes - base)
            return stop(Halt::TooLarge);
        if (continues && progress)
            progress(resumeFrom, announced >= 0 ? resumeFrom + announced : -1);
    };
    // Progress follows the file, chunk by chunk; Qt's own progress signal is throttled.
    const auto drain = [&] {
        if (!decided)
            decide();
        const qint64 before = written;
        while (decided && halt == Halt::None && rawReply->bytesAvailable() > 0) {
            const QByteArray chunk = rawReply->read(readBufferSize);
            if (chunk.size() > request.maxBytes - base - written)
                return stop(Halt::TooLarge);
            hasher.addData(chunk);
            written += chunk.size();
            errno = 0;
            if (file.write(chunk) != chunk.size()) {
                writeErrno = errno;
                stop(Halt::WriteFailed);
            }
        }
        if (progress && written != before) {
            const qint64 announced = announcedLength();
            progress(base + written, announced >= 0 ? base + announced : -1);
        }
    };
    QObject::connect(rawReply, &QNetworkReply::metaDataChanged, &file, [&] {
        if (!decided)
            decide();
    });
    QObject::connect(rawReply, &QNetworkReply::readyRead, &file, drain);
    if (owner)
        QObject::connect(owner.data(), &QObject::destroyed, rawReply, &QNetworkReply::abort, Qt::QueuedConnection);

    co_await rawReply;

    std::optional<Failure> transportFailure;
    if (TransportFailure::isTransportFailure(*rawReply))
        transportFailure = TransportFailure::fromReply(*rawReply);
    else if (!decided)
        decide();
    // What the reply still holds arrived before its end, or before the connection broke.
    const bool cut = transportFailure && transportFailure->kind() == FailureKind::ServiceUnreachable;
    if (decided && (!transportFailure || cut))
        drain();
    switch (halt) {
    case Halt::None:
        break;
    case Halt::Restart:
        co_return std::nullopt;
    case Halt::Refused:
        throw refusal(status);
    case Halt::TooLarge:
        throw Failure(FailureKind::DownloadTooLarge);
    case Halt::WriteFailed:
        // What reached the disk before it filled is worth resuming once there is room.
        keep = isDiskFull(writeErrno);
        throw writeError(request, temporaryPath, writeErrno);
    }
    if (transportFailure) {
        keep = keep || (decided && cut);
        throw *transportFailure;
    }
    // A redirect that was not followed.
    if (!decided || status < 200 || status >= 300)
        throw refusal(status);
    // A body shorter than announced is a cut connection, whatever the transport said.
    const qint64 announced = announcedLength();
    if (announced >= 0 && announced != written) {
        keep = true;
        throw TransportFailure::fromCode(UrlErrorCode::NetworkConnectionLost);
    }
    errno = 0;
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw writeError(request, temporaryPath, errno);

    if (hasher.hexDigest() != request.expectedSha256.toLower())
        throw Failure(FailureKind::ChecksumMismatch);
    moveIntoPlace(temporaryPath, destination);
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
        throw isDiskFull(error) ? writeError(request, request.downloadDir, error)
                                : LocalFiles::failure(QStringLiteral("创建下载目录"), request.downloadDir, error);
    QByteArray validator;
    const qint64 resumeFrom = resumableSize(request, validator);
    std::optional<QString> archive = co_await transfer(request, resumeFrom, validator, progress, owner);
    if (!archive)
        archive = co_await transfer(request, 0, {}, progress, owner);
    removeOtherPartials(request.downloadDir);
    co_return *archive;
}

} // namespace ArchiveDownload
