#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Lenient readers used by every decoder of service data: a missing or mistyped value gives an
// absent result, never an error. An undefined QJsonValue stands for "absent".
namespace JsonValueReaders {

// What the user is told about an answer that is not the JSON object it should be.
inline const QString malformedAnswerMessage = QStringLiteral("授权服务响应格式异常。");

// Text of a value: the text itself, or the textual form of a number or boolean (1/0); null is absent.
std::optional<QString> stringValue(const QJsonValue &value);
// Integers as they are, doubles truncated toward zero, decimal texts with an optional sign.
std::optional<qint64> intValue(const QJsonValue &value);
std::optional<QJsonObject> dictionaryValue(const QJsonValue &value);
// Parses an object or array; throws JsonParseError when the bytes are no JSON and
// AuthToolError when the top level is not an object.
QJsonObject dictionaryFromJSON(const QByteArray &bytes);

} // namespace JsonValueReaders
