// The lenient JSON value readers over every value of an arbitrary JSON document.
#include "FuzzCheck.h"

#include "core/Failure.h"
#include "service/JsonValueReaders.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cstdint>

using namespace JsonValueReaders;

namespace {

void readAll(const QJsonValue &value, int depth)
{
    const std::optional<QString> text = stringValue(value);
    FUZZ_CHECK(text.has_value() == !(value.isNull() || value.isUndefined()));
    const std::optional<qint64> number = intValue(value);
    if (value.isString() && number) {
        static const QRegularExpression decimal(QStringLiteral("\\A[+-]?[0-9]+\\z"));
        FUZZ_CHECK(decimal.match(value.toString()).hasMatch());
    }
    FUZZ_CHECK(!number || value.isDouble() || value.isString());
    FUZZ_CHECK(dictionaryValue(value).has_value() == value.isObject());
    if (depth > 64)
        return;
    if (value.isArray()) {
        for (const QJsonValue item : value.toArray())
            readAll(item, depth + 1);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            readAll(it.value(), depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        readAll(dictionaryFromJSON(bytes), 0);
    } catch (const Failure &) {
    }
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (document.isArray())
        readAll(document.array(), 0);
    return 0;
}
