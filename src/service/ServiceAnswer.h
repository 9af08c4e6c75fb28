#pragma once

#include "service/APIEnvelope.h"
#include "core/Failure.h"

#include <QByteArray>

// Decoding of the service's answer bodies, apart from the transport so that it can be tested and
// fuzzed on bytes alone.
namespace ServiceAnswer {

// The envelope of a success body. Throws a NotJson Failure for bytes that are not JSON and a
// MalformedAnswer one for JSON whose top level is not an object.
APIEnvelope envelope(const QByteArray &body);

// The failure for a refusing status: SignInExpired, CredentialRefused (401) or ServiceRefused,
// carrying the body's reason and message. A body that is not a JSON object counts as no body.
Failure refusal(int status, const QByteArray &body);

} // namespace ServiceAnswer
