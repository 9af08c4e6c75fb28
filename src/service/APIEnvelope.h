#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// The decoded success body of the vendor service. Unusable keys give absent fields.
struct APIEnvelope
{
    std::optional<qint64> code;
    std::optional<QString> message;
    std::optional<QJsonObject> data;
};
