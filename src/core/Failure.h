#pragma once

#include "core/FailureKind.h"

#include <QByteArray>
#include <QString>

#include <exception>
#include <optional>

// What varies between two failures of one kind. Each kind reads only the fields its sentence needs.
struct FailureDetails
{
    // The file or folder concerned, as the sentence shows it (a name or a full path).
    QString path;
    // The step that failed on it, a verb phrase such as "删除".
    QString action;
    // errno of a system call.
    int errorNumber = 0;
    // HTTP status of a refusal; 0 when there was no HTTP answer.
    int httpStatus = 0;
    // URL-loading code of a transport failure (-1001 …) and the host it concerned.
    int urlCode = 0;
    QString host;
    // The service's reason code and its own message, as it sent them; absent when it sent none
    // (an empty text the service sent is not the same as none).
    std::optional<QString> reason;
    std::optional<QString> serviceMessage;
    // A program's or script's output, or a further text that the kind's sentence carries.
    QString output;
    // A version concerned, and the version required of the tool.
    QString version;
    QString requiredVersion;
};

// The one error type of the tool: a kind that code decides on, details that vary, and the Chinese
// sentence the user reads, made from both in one place.
class Failure : public std::exception
{
public:
    explicit Failure(FailureKind kind, FailureDetails details = {});

    FailureKind kind() const noexcept { return m_kind; }
    const FailureDetails &details() const noexcept { return m_details; }
    // The complete sentence the user sees, e.g. "无法删除“publish.xml”：没有权限。".
    const QString &sentence() const noexcept { return m_sentence; }
    const char *what() const noexcept override { return m_utf8.constData(); }

    static QString sentenceFor(FailureKind kind, const FailureDetails &details);

private:
    FailureKind m_kind;
    FailureDetails m_details;
    QString m_sentence;
    QByteArray m_utf8;
};

// The kind of any caught error: a Failure's own, Internal for anything else, Internal for none.
FailureKind failureKind(const std::exception &error);
FailureKind failureKind(const std::exception_ptr &error);

// Whether the service cannot be reached from here (see FailureClass).
bool isNetworkError(const std::exception &error);
// A request or operation that was stopped because nobody wants its result any more (its owner
// went away, or the user stopped it): not a failure to report.
bool isCancellation(const std::exception &error);

// The sentence to show for any thrown error: a Failure's own, a sentence of ours in place of the
// (English) text of any other.
QString describeError(const std::exception &error);
// The same for a caught error; empty for none and for one that is no std::exception.
QString describeError(const std::exception_ptr &error);
