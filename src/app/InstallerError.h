#pragma once

#include "core/DescribedError.h"

// An error of the installer copy, in the "CorvantaInstaller" domain.
class InstallerError : public DescribedError
{
public:
    enum Code { MissingEmbeddedApp = 1, OpenFailed = 2 };

    explicit InstallerError(Code code)
        : DescribedError(sentenceFor(code))
        , m_code(code)
    {
    }

    static QString domain() { return QStringLiteral("CorvantaInstaller"); }
    Code code() const { return m_code; }

private:
    static QString sentenceFor(Code code)
    {
        switch (code) {
        case MissingEmbeddedApp:
            return QStringLiteral("安装包缺少内嵌的 Corvanta 管理工具，请重新下载 DMG。");
        case OpenFailed:
            break;
        }
        return QStringLiteral("管理工具已安装，但打开失败。请到 ~/Applications/Corvanta 手动打开。");
    }

    Code m_code;
};
