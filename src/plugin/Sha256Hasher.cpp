#include "Sha256Hasher.h"

#include "core/Failure.h"
#include "core/WorkerTask.h"
#include "plugin/OpenSslFunctions.h"

#include <QFile>


#include <stdexcept>

namespace {

constexpr qint64 fileChunkSize = 1024 * 1024;

Failure unreadableFile(const QString &path)
{
    FailureDetails details;
    details.path = path;
    return Failure(FailureKind::UnreadableFile, std::move(details));
}

} // namespace

void Sha256Hasher::ContextDeleter::operator()(evp_md_ctx_st *context) const
{
    openSsl().mdContextFree(context);
}

Sha256Hasher::Sha256Hasher()
    : m_context(openSsl().mdContextNew())
{
    if (!m_context)
        throw std::bad_alloc();
    reset();
}

Sha256Hasher::~Sha256Hasher() = default;

void Sha256Hasher::reset()
{
    if (openSsl().digestInit(m_context.get(), openSsl().sha256(), nullptr) != 1)
        throw std::runtime_error("EVP_DigestInit_ex(SHA-256) failed");
}

void Sha256Hasher::addData(QByteArrayView chunk)
{
    if (!chunk.isEmpty() && openSsl().digestUpdate(m_context.get(), chunk.data(), size_t(chunk.size())) != 1)
        throw std::runtime_error("EVP_DigestUpdate failed");
}

QString Sha256Hasher::hexDigest()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (openSsl().digestFinal(m_context.get(), digest, &length) != 1)
        throw std::runtime_error("EVP_DigestFinal_ex failed");
    reset();
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), length).toHex());
}

void Sha256Hasher::addFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw unreadableFile(path);
    QByteArray buffer(fileChunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 count = file.read(buffer.data(), buffer.size());
        if (count < 0)
            throw unreadableFile(path);
        if (count == 0)
            break;
        addData(QByteArrayView(buffer.constData(), count));
    }
}

QString sha256File(const QString &path)
{
    Sha256Hasher hasher;
    hasher.addFile(path);
    return hasher.hexDigest();
}

QCoro::Task<QString> sha256FileAsync(QString path)
{
    auto work = [path] { return sha256File(path); }; // named: see runOffGuiThread
    co_return co_await runOffGuiThread(std::move(work));
}
