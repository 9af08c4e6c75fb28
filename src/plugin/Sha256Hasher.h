#pragma once

#include <QByteArrayView>
#include <QCoro/QCoroTask>
#include <QString>

#include <memory>

struct evp_md_ctx_st;

// SHA-256 fed chunk by chunk, so a body can be hashed while it streams in.
class Sha256Hasher
{
public:
    Sha256Hasher();
    ~Sha256Hasher();
    Sha256Hasher(const Sha256Hasher &) = delete;
    Sha256Hasher &operator=(const Sha256Hasher &) = delete;

    void addData(QByteArrayView chunk);
    // Feeds a file's bytes, read in 1 MiB pieces: how a resumed download gets its hash state back.
    // A read failure throws a Failure (UnreadableFile) naming the file.
    void addFile(const QString &path);
    // Back to the hash of nothing, as for a download that starts again from its first byte.
    void reset();
    // 64 lower-case hexadecimal digits. Ends this hash: the hasher starts afresh afterwards.
    QString hexDigest();

private:
    struct ContextDeleter
    {
        void operator()(evp_md_ctx_st *context) const;
    };
    std::unique_ptr<evp_md_ctx_st, ContextDeleter> m_context;
};

// Hash of a file, read in 1 MiB pieces (never whole in memory). A read failure throws a
// Failure (UnreadableFile) naming the file.
QString sha256File(const QString &path);

// The same on the thread pool; the GUI thread only awaits.
QCoro::Task<QString> sha256FileAsync(QString path);
