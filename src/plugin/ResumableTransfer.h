#pragma once

#include "plugin/ArchiveDownload.h"
#include "plugin/Sha256Hasher.h"
#include "service/ServiceNetwork.h"

#include <QByteArray>
#include <QFile>
#include <QPointer>

#include <optional>

// One request for a release archive's body (ArchiveDownload's attempt): streamed to a temporary
// file and hashed as it arrives, continuing the partial file from `resumeFrom` when the answer
// goes on where it ends. The answer is judged once, from its status and headers (decide), before
// any body byte is written; each chunk is then written and hashed (drain). Whatever does not end
// in the archive is settled when the transfer is destroyed: kept as the partial file when that is
// worth resuming, removed otherwise.
class ResumableTransfer
{
public:
    ResumableTransfer(ArchiveDownload::Request request, qint64 resumeFrom, QByteArray validator,
                      ArchiveDownload::ProgressHandler progress, QPointer<QObject> owner);
    ~ResumableTransfer();
    ResumableTransfer(const ResumableTransfer &) = delete;
    ResumableTransfer &operator=(const ResumableTransfer &) = delete;

    // The archive's path; nothing when the server cannot go on where the partial file ends, so
    // the caller asks again for all of it. Throws as ArchiveDownload::download. Call once.
    QCoro::Task<std::optional<QString>> run();

private:
    // Why a transfer stopped before its end.
    enum class Halt { None, Restart, Refused, TooLarge, WriteFailed };

    QCoro::Task<bool> openFile();
    void start();
    qint64 announcedLength() const;
    void stop(Halt why);
    void decide();
    void drain();
    void throwWhyHalted();
    QString finish();

    const ArchiveDownload::Request m_request;
    const qint64 m_resumeFrom;
    const QByteArray m_validator;
    const ArchiveDownload::ProgressHandler m_progress;
    const QPointer<QObject> m_owner;
    const QString m_temporaryPath;
    Sha256Hasher m_hasher;
    QFile m_file;
    // Whether the bytes on disk are kept as the partial file if the transfer ends without the
    // archive. Until an answer arrives, the partial file being resumed stays what it was.
    bool m_keep;
    Halt m_halt = Halt::None;
    int m_writeErrno = 0;
    int m_status = 0;
    // Whether the answer (not a redirect) has been judged.
    bool m_decided = false;
    // Body bytes before this answer's first one.
    qint64 m_base;
    qint64 m_written = 0;
    ServiceNetwork::OwnedReply m_reply;
};
