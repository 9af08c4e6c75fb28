#pragma once

#include "core/DescribedError.h"

// The tool's own failures; only the service client raises CredentialInvalid.
class AuthToolError : public DescribedError
{
public:
    enum class Kind { Message, CredentialInvalid };

    static AuthToolError message(QString text) { return AuthToolError(Kind::Message, std::move(text)); }
    static AuthToolError credentialInvalid(QString text)
    {
        return AuthToolError(Kind::CredentialInvalid, std::move(text));
    }

    Kind kind() const noexcept { return m_kind; }

private:
    AuthToolError(Kind kind, QString text)
        : DescribedError(std::move(text))
        , m_kind(kind)
    {
    }

    Kind m_kind;
};
