#include "ServiceAnswer.h"

#include "service/JsonValueReaders.h"

using namespace JsonValueReaders;

namespace ServiceAnswer {

APIEnvelope envelope(const QByteArray &body)
{
    const QJsonObject object = dictionaryFromJSON(body);
    return APIEnvelope{
        intValue(object.value(QLatin1String("code"))),
        stringValue(object.value(QLatin1String("message"))),
        dictionaryValue(object.value(QLatin1String("data"))),
    };
}

Failure refusal(int status, const QByteArray &bytes)
{
    QJsonObject body;
    try {
        body = dictionaryFromJSON(bytes);
    } catch (const std::exception &) {
        // A refusal without a usable body is described by its status alone.
    }
    std::optional<QString> reason;
    if (const auto data = dictionaryValue(body.value(QLatin1String("data"))))
        reason = stringValue(data->value(QLatin1String("reason")));
    if (!reason)
        reason = stringValue(body.value(QLatin1String("reason")));
    FailureDetails details;
    details.httpStatus = status;
    details.reason = reason;
    details.serviceMessage = stringValue(body.value(QLatin1String("message")));

    if (reason == QLatin1String("refresh_token_invalid"))
        return Failure(FailureKind::SignInExpired, std::move(details));
    if (status == 401)
        return Failure(FailureKind::CredentialRefused, std::move(details));
    return Failure(FailureKind::ServiceRefused, std::move(details));
}

} // namespace ServiceAnswer
