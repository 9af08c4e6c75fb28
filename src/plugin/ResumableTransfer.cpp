#include "ResumableTransfer.h"

#include "core/LocalFiles.h"
#include "core/UrlErrorCode.h"
#include "core/WorkerTask.h"
#include "service/TransportFailure.h"

#include <QCoro/QCoroNetworkReply>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QUuid>

#include <cerrno>

using namespace ArchiveDownload;

namespace {

// The download server's own refusal: nothing to do with the account, whatever the status.
Failure refusal(int status)
{
    FailureDetails details;
    details.httpStatus = status;
    return Failure(FailureKind::DownloadRefused, std::move(details));
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

// First byte of a 206 answer's "bytes FIRST-LAST/TOTAL"; -1 when it is not that.
qint64 rangeStart(const QNetworkReply &reply)
{
    static const QRegularExpression contentRange(QStringLiteral("\\Abytes (\\d+)-\\d+/(\\d+|\\*)\\z"));
    const auto match = contentRange.match(QString::fromLatin1(reply.rawHeader("Content-Range")).trimmed());
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
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

// A redirect the network layer goes on to follow: its answer is not the archive's.
bool isRedirect(const QNetworkReply &reply, int status)
{
    return status >= 300 && status < 400 && reply.hasRawHeader("Location");
}

} // namespace

ResumableTransfer::ResumableTransfer(Request request, qint64 resumeFrom, QByteArray validator,
                                     ProgressHandler progress, QPointer<QObject> owner)
    : m_request(std::move(request))
    , m_resumeFrom(resumeFrom)
    , m_validator(std::move(validator))
    , m_progress(std::move(progress))
    , m_owner(std::move(owner))
    , m_temporaryPath(m_request.downloadDir + QLatin1Char('/') + temporaryPrefix
                      + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
    , m_file(m_temporaryPath)
    , m_keep(resumeFrom > 0)
    , m_base(resumeFrom)
{
}

// The bytes are kept as the partial file when that is decided and their record is there, else
// removed with the record.
ResumableTransfer::~ResumableTransfer()
{
    m_reply.reset();
    m_file.close();
    if (m_keep && m_file.size() > 0 && QFile::exists(sidecarPath(m_request))
        && LocalFiles::moveIntoPlace(m_file.fileName(), partialPath(m_request)) == 0)
        return;
    m_file.remove();
    QFile::remove(sidecarPath(m_request));
}

QCoro::Task<std::optional<QString>> ResumableTransfer::run()
{
    if (!co_await openFile())
        co_return std::nullopt;
    start();
    QNetworkReply *const reply = m_reply.get();
    co_await reply;

    std::optional<Failure> transportFailure;
    if (TransportFailure::isTransportFailure(*reply))
        transportFailure = TransportFailure::fromReply(*reply);
    else if (!m_decided)
        decide();
    // What the reply still holds arrived before its end, or before the connection broke.
    const bool cut = transportFailure && transportFailure->kind() == FailureKind::ServiceUnreachable;
    if (m_decided && (!transportFailure || cut))
        drain();
    if (m_halt == Halt::Restart)
        co_return std::nullopt;
    throwWhyHalted();
    if (transportFailure) {
        m_keep = m_keep || (m_decided && cut);
        throw *transportFailure;
    }
    co_return finish();
}

// False when the partial file to resume is gone.
QCoro::Task<bool> ResumableTransfer::openFile()
{
    if (m_resumeFrom > 0) {
        if (LocalFiles::moveIntoPlace(partialPath(m_request), m_temporaryPath) != 0)
            co_return false;
        // The bytes kept may run to the whole archive: read back on the pool, not the window's thread.
        auto rehash = [this] { m_hasher.addFile(m_temporaryPath); return true; }; // named: see runOffGuiThread
        co_await runOffGuiThread(std::move(rehash));
    }
    errno = 0;
    // Unbuffered: a write the disk refuses fails at once, and the file holds exactly the bytes before it.
    const auto mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (!m_file.open(m_resumeFrom > 0 ? mode | QIODevice::Append : mode | QIODevice::NewOnly))
        throw writeError(m_request, m_temporaryPath, errno);
    co_return true;
}

void ResumableTransfer::start()
{
    QNetworkRequest networkRequest(m_request.url);
    if (m_resumeFrom > 0) {
        networkRequest.setRawHeader("Range", "bytes=" + QByteArray::number(m_resumeFrom) + '-');
        networkRequest.setRawHeader("If-Range", m_validator);
    }
    m_reply.reset(ServiceNetwork::manager().get(networkRequest));
    QNetworkReply *const reply = m_reply.get();
    reply->setReadBufferSize(readBufferSize);
    // The file as the connections' context: nothing reaches this object once it is gone.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &m_file, [this] {
        if (!m_decided)
            decide();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &m_file, [this] { drain(); });
    if (m_owner)
        QObject::connect(m_owner.data(), &QObject::destroyed, reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

qint64 ResumableTransfer::announcedLength() const
{
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() ? length.toLongLong() : qint64(-1);
}

// Runs inside the reply's signals: stopping only schedules the abort, so the coroutine never
// resumes while this is still on the stack.
void ResumableTransfer::stop(Halt why)
{
    if (m_halt != Halt::None)
        return;
    m_halt = why;
    QMetaObject::invokeMethod(m_reply.get(), &QNetworkReply::abort, Qt::QueuedConnection);
}

// Whether the answer continues the partial file: a 206 from exactly its end under the same
// validator. A whole body replaces it in place; another range is asked for again; a refusal or a
// length past the cap stops before the body.
void ResumableTransfer::decide()
{
    const QNetworkReply &reply = *m_reply;
    m_status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (isRedirect(reply, m_status))
        return;
    m_decided = true;
    m_keep = false;
    const bool resuming = m_resumeFrom > 0;
    const bool continues = resuming && m_status == 206 && rangeStart(reply) == m_resumeFrom && validatorOf(reply) == m_validator;
    if (resuming && !continues && (m_status == 206 || m_status == 416))
        return stop(Halt::Restart);
    if (m_status < 200 || m_status >= 300)
        return stop(Halt::Refused);
    if (!continues) {
        m_base = 0;
        m_hasher.reset();
        errno = 0;
        if (resuming && !m_file.resize(0)) {
            m_writeErrno = errno;
            return stop(Halt::WriteFailed);
        }
        recordValidator(m_request, validatorOf(reply));
    }
    const qint64 announced = announcedLength();
    if (announced > m_request.maxBytes - m_base)
        return stop(Halt::TooLarge);
    if (continues && m_progress)
        m_progress(m_resumeFrom, announced >= 0 ? m_resumeFrom + announced : -1);
}

// Progress follows the file, chunk by chunk; Qt's own progress signal is throttled.
void ResumableTransfer::drain()
{
    if (!m_decided)
        decide();
    const qint64 before = m_written;
    while (m_decided && m_halt == Halt::None && m_reply->bytesAvailable() > 0) {
        const QByteArray chunk = m_reply->read(readBufferSize);
        if (chunk.size() > m_request.maxBytes - m_base - m_written)
            return stop(Halt::TooLarge);
        m_hasher.addData(chunk);
        m_written += chunk.size();
        errno = 0;
        if (m_file.write(chunk) != chunk.size()) {
            m_writeErrno = errno;
            stop(Halt::WriteFailed);
        }
    }
    if (m_progress && m_written != before) {
        const qint64 announced = announcedLength();
        m_progress(m_base + m_written, announced >= 0 ? m_base + announced : -1);
    }
}

void ResumableTransfer::throwWhyHalted()
{
    switch (m_halt) {
    case Halt::None:
    case Halt::Restart:
        return;
    case Halt::Refused:
        throw refusal(m_status);
    case Halt::TooLarge:
        throw Failure(FailureKind::DownloadTooLarge);
    case Halt::WriteFailed:
        // What reached the disk before it filled is worth resuming once there is room.
        m_keep = LocalFiles::isDiskFull(m_writeErrno);
        throw writeError(m_request, m_temporaryPath, m_writeErrno);
    }
}

// The body is all there: checked, then put in place in one step, so whatever is there stays until
// the new archive is complete.
QString ResumableTransfer::finish()
{
    // A redirect that was not followed.
    if (!m_decided || m_status < 200 || m_status >= 300)
        throw refusal(m_status);
    // A body shorter than announced is a cut connection, whatever the transport said.
    const qint64 announced = announcedLength();
    if (announced >= 0 && announced != m_written) {
        m_keep = true;
        throw TransportFailure::fromCode(UrlErrorCode::NetworkConnectionLost);
    }
    errno = 0;
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        throw writeError(m_request, m_temporaryPath, errno);
    if (m_hasher.hexDigest() != m_request.expectedSha256.toLower())
        throw Failure(FailureKind::ChecksumMismatch);
    const QString destination = m_request.downloadDir + QLatin1Char('/') + m_request.fileName;
    if (const int error = LocalFiles::moveIntoPlace(m_temporaryPath, destination))
        throw LocalFiles::failure(QStringLiteral("将下载文件移动到"), destination, error);
    return destination;
}
