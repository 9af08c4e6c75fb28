#include "JsonParseError.h"

JsonParseError::JsonParseError(const QJsonParseError &error)
    : DescribedError(QStringLiteral("未能读取数据，因为它的格式不正确。"))
    , m_error(error.error)
    , m_offset(error.offset)
{
}
