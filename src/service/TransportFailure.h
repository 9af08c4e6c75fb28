#pragma once

#include "core/Failure.h"

#include <QNetworkReply>
#include <QString>

// Failures of a request below HTTP (name lookup, connection, TLS, timeout, cancel). They keep the
// URL-loading code (core/UrlErrorCode.h) in their details, so the log and diagnostics name the
// platform's well-known number, and their kind tells connectivity failures from the rest.
namespace TransportFailure {

// Whether a finished reply failed below HTTP: no answer at all, or an answer cut short.
// Errors Qt derives from an HTTP status are not transport failures.
bool isTransportFailure(const QNetworkReply &reply);
// The failure of a finished reply that got no HTTP answer. Reads the markers the shared
// network manager leaves on the reply (timeout, certificate problems).
Failure fromReply(const QNetworkReply &reply);
// The failure for a URL-loading code; host is named in certificate sentences.
Failure fromCode(int code, const QString &host = {});
// The URL-loading code of a Qt network error.
int codeFor(QNetworkReply::NetworkError error, const QString &detail = {});
// The kind a URL-loading code stands for.
FailureKind kindFor(int code);

} // namespace TransportFailure
