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

AuthToolError refusal(int status, const QByteArray &bytes)
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
    const std::optional<QString> serverMessage = stringValue(body.value(QLatin1String("message")));
    const bool hasServerMessage = serverMessage && !serverMessage->isEmpty();

    const QString refreshTokenInvalid = QStringLiteral("refresh_token_invalid");
    if (status == 401 || reason == refreshTokenInvalid) {
        if (reason == refreshTokenInvalid)
            return AuthToolError::credentialInvalid(QStringLiteral("刷新凭证无效或过期，请重新登录。"));
        if (hasServerMessage)
            return AuthToolError::credentialInvalid(*serverMessage);
        return AuthToolError::credentialInvalid(QStringLiteral("本机保存的登录凭证已失效，请重新登录。"));
    }
    if (reason)
        return AuthToolError::message(QStringLiteral("授权失败：") + *reason);
    if (hasServerMessage)
        return AuthToolError::message(*serverMessage);
    return AuthToolError::message(httpErrorMessage(status));
}

QString httpErrorMessage(int status)
{
    if (status == 401 || status == 403)
        return QStringLiteral("登录状态已过期，请重新登录后再试。");
    if (status == 404)
        return QStringLiteral("未找到授权服务，请确认当前管理工具版本或授权接口环境。");
    if (status >= 500 && status <= 599)
        return QStringLiteral("授权服务暂时不可用，请稍后重试；如果问题持续出现，请重新登录后再试。");
    return QStringLiteral("授权服务返回异常：HTTP ") + QString::number(status);
}

} // namespace ServiceAnswer
