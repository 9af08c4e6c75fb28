#pragma once

#include "service/APIEnvelope.h"
#include "service/AuthToolError.h"

#include <QByteArray>

// Decoding of the service's answer bodies, apart from the transport so that it can be tested and
// fuzzed on bytes alone.
namespace ServiceAnswer {

// The envelope of a success body. Throws JsonParseError for bytes that are not JSON and
// AuthToolError for JSON whose top level is not an object.
APIEnvelope envelope(const QByteArray &body);

// The error for a refusing status; the body's reason and message win over the status table.
// A body that is not a JSON object counts as no body.
AuthToolError refusal(int status, const QByteArray &body);

// The sentence for a refusing status that came without a reason or message of its own.
QString httpErrorMessage(int status);

} // namespace ServiceAnswer
