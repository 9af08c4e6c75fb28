#include "Failure.h"

#include "core/LocalFiles.h"
#include "core/UrlErrorCode.h"

namespace {

// The platform's own wording of each URL-loading failure.
QString transportSentence(int code, const QString &host)
{
    const QString impostor = QStringLiteral("您可能正在连接到一个假冒“%1”的服务器，这会威胁到您的机密信息的安全。").arg(host);
    switch (code) {
    case UrlErrorCode::Cancelled:
        return QStringLiteral("已取消。");
    case UrlErrorCode::BadURL:
        return QStringLiteral("URL 无效。");
    case UrlErrorCode::TimedOut:
        return QStringLiteral("请求超时。");
    case UrlErrorCode::UnsupportedURL:
        return QStringLiteral("不支持的 URL。");
    case UrlErrorCode::CannotFindHost:
        return QStringLiteral("未能找到使用指定主机名的服务器。");
    case UrlErrorCode::CannotConnectToHost:
        return QStringLiteral("未能连接到服务器。");
    case UrlErrorCode::NetworkConnectionLost:
        return QStringLiteral("网络连接已中断。");
    case UrlErrorCode::DNSLookupFailed:
        return QStringLiteral("DNS 查询失败。");
    case UrlErrorCode::HTTPTooManyRedirects:
        return QStringLiteral("重定向次数过多。");
    case UrlErrorCode::NotConnectedToInternet:
        return QStringLiteral("似乎已断开与互联网的连接。");
    case UrlErrorCode::BadServerResponse:
        return QStringLiteral("服务器返回了无效的响应。");
    case UrlErrorCode::UserAuthenticationRequired:
        return QStringLiteral("需要用户认证才能访问此资源。");
    case UrlErrorCode::AppTransportSecurityRequiresSecureConnection:
        return QStringLiteral("无法载入资源，因为应用传输安全策略要求使用安全连接。");
    case UrlErrorCode::InternationalRoamingOff:
        return QStringLiteral("国际漫游当前已关闭。");
    case UrlErrorCode::SecureConnectionFailed:
        return QStringLiteral("发生了 SSL 错误，无法建立与该服务器的安全连接。");
    case UrlErrorCode::ServerCertificateHasBadDate:
        return QStringLiteral("此服务器的证书已过期。") + impostor;
    case UrlErrorCode::ServerCertificateUntrusted:
        return QStringLiteral("此服务器的证书无效。") + impostor;
    case UrlErrorCode::ServerCertificateHasUnknownRoot:
        return QStringLiteral("此服务器的证书由未知的颁发机构签发。") + impostor;
    case UrlErrorCode::ServerCertificateNotYetValid:
        return QStringLiteral("此服务器的证书尚未生效。") + impostor;
    default:
        return QStringLiteral("发生了未知错误。");
    }
}

} // namespace

Failure::Failure(FailureKind kind, FailureDetails details)
    : m_kind(kind)
    , m_details(std::move(details))
    , m_sentence(sentenceFor(m_kind, m_details))
    , m_utf8(m_sentence.toUtf8())
{
}

QString Failure::sentenceFor(FailureKind kind, const FailureDetails &details)
{
    switch (kind) {
    case FailureKind::Offline:
    case FailureKind::ServiceUnreachable:
    case FailureKind::Timeout:
    case FailureKind::Cancelled:
    case FailureKind::SecureConnection:
    case FailureKind::Transport:
        return transportSentence(details.urlCode, details.host);
    case FailureKind::NotSignedIn:
        return QStringLiteral("尚未登录 Corvanta 账户，请先登录后再安装。");
    case FailureKind::Busy:
        return QStringLiteral("另一项插件操作正在进行，请等它完成后再试。");
    case FailureKind::ChecksumMismatch:
        return QStringLiteral("安装包校验失败，文件可能不完整，请重新下载。");
    case FailureKind::UnsafeArchive:
        return QStringLiteral("插件包含有指向包外的文件路径，已拒绝安装，请重新下载。");
    case FailureKind::IncompletePackage:
        return QStringLiteral("插件包结构不完整，请重新下载。");
    case FailureKind::NoCachedPackage:
        return QStringLiteral("本机没有可用插件包缓存。请联网后点击安装或更新。");
    case FailureKind::FileSystem:
        return QStringLiteral("无法") + details.action + QStringLiteral("“") + details.path + QStringLiteral("”：")
            + LocalFiles::reasonForErrno(details.errorNumber) + QStringLiteral("。");
    // WPS's lists and the installer payload (WpsAddonEdits, InstallerScriptRun).
    case FailureKind::UnrecognisedWpsFile: {
        QString sentence = QStringLiteral("WPS 的加载项");
        sentence += details.path.endsWith(QLatin1String(".json")) ? QStringLiteral("注册表") : QStringLiteral("列表");
        return sentence + QStringLiteral("“") + details.path + QStringLiteral("”格式无法识别，未做修改。");
    }
    case FailureKind::WpsRunning:
        if (details.action.isEmpty())
            return QStringLiteral("WPS 表格正在运行，未做任何修改。请先完全退出 WPS 表格后重试。");
        return QStringLiteral("请先完全退出 WPS 表格，再点击“") + details.action + QStringLiteral("”。");
    case FailureKind::InstallerMissing:
        return QStringLiteral("安装包缺少 WPS 插件 Payload，请重新下载正式安装包。");
    case FailureKind::InstallerFailed:
    case FailureKind::InstallerTimedOut:
    case FailureKind::InstallerPackageRefused:
    case FailureKind::InstallerCopyFailed:
    case FailureKind::InstallerRegistrationFailed:
        return details.output.isEmpty() ? QStringLiteral("WPS 插件安装脚本执行失败。") : details.output;
    case FailureKind::SignInExpired:
    case FailureKind::CredentialRefused:
    case FailureKind::ServiceRefused:
    case FailureKind::MalformedAnswer:
    case FailureKind::CredentialStorage:
    case FailureKind::UnsafeName:
    case FailureKind::ToolTooOld:
    case FailureKind::LaunchFailed:
    case FailureKind::Internal:
        break;
    }
    if (!details.output.isEmpty())
        return details.output;
    return QStringLiteral("发生了内部错误，请重试。");
}

FailureKind failureKind(const std::exception &error)
{
    if (const auto *failure = dynamic_cast<const Failure *>(&error))
        return failure->kind();
    return FailureKind::Internal;
}

FailureKind failureKind(const std::exception_ptr &error)
{
    if (!error)
        return FailureKind::Internal;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &caught) {
        return failureKind(caught);
    } catch (...) {
    }
    return FailureKind::Internal;
}
