#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Lenient readers used by every decoder of service data: a missing or mistyped value gives an
// absent result, never an error. An undefined QJsonValue stands for "absent".
namespace JsonValueReaders {

// Text of a value: the text itself, or the textual form of a number or boolean (1/0); null is absent.
std::optional<QString> stringValue(const QJsonValue &value);
// Integers as they are, doubles truncated toward zero, decimal texts with an optional sign.
std::optional<qint64> intValue(const QJsonValue &value);
std::optional<QJsonObject> dictionaryValue(const QJsonValue &value);
// Parses an object; throws a NotJson Failure when the bytes are no JSON and a MalformedAnswer one
// when the top level is not an object.
QJsonObject dictionaryFromJSON(const QByteArray &bytes);

} // namespace JsonValueReaders
