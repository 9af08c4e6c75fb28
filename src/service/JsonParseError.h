#pragma once

#include "core/DescribedError.h"

#include <QJsonParseError>

// A body that is not JSON at all; the parser's error and offset stay for diagnosis.
class JsonParseError : public DescribedError
{
public:
    explicit JsonParseError(const QJsonParseError &error);

    QJsonParseError::ParseError parseError() const noexcept { return m_error; }
    int offset() const noexcept { return m_offset; }

private:
    QJsonParseError::ParseError m_error;
    int m_offset;
};
