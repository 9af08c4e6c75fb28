#include "JsonValueReaders.h"

#include "core/Failure.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace JsonValueReaders {

std::optional<QString> stringValue(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Undefined:
    case QJsonValue::Null:
        // A null the service sends carries no value; reading it as text would invent one.
        return std::nullopt;
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QJsonValue::Double: {
        const QVariant number = value.toVariant();
        if (number.typeId() == QMetaType::LongLong)
            return QString::number(number.toLongLong());
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    }
    case QJsonValue::Array:
    case QJsonValue::Object:
        return QString::fromUtf8(value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                                 : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    }
    return std::nullopt;
}

std::optional<qint64> intValue(const QJsonValue &value)
{
    if (value.isDouble()) {
        const QVariant number = value.toVariant();
        if (number.typeId() == QMetaType::LongLong)
            return number.toLongLong();
        const double truncated = std::trunc(value.toDouble());
        // 2^63 itself is out of range; anything not finite fails these comparisons too.
        if (!(truncated >= -9223372036854775808.0 && truncated < 9223372036854775808.0))
            return std::nullopt;
        return static_cast<qint64>(truncated);
    }
    if (value.isString()) {
        static const QRegularExpression decimal(QStringLiteral("\\A[+-]?[0-9]+\\z"));
        const QString text = value.toString();
        if (!decimal.match(text).hasMatch())
            return std::nullopt;
        bool ok = false;
        const qint64 parsed = text.toLongLong(&ok);
        return ok ? std::optional<qint64>(parsed) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<QJsonObject> dictionaryValue(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    return value.toObject();
}

QJsonObject dictionaryFromJSON(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw Failure(FailureKind::NotJson);
    if (!document.isObject())
        throw Failure(FailureKind::MalformedAnswer);
    return document.object();
}

} // namespace JsonValueReaders
