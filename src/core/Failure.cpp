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
    // What the directory or the unpacked links of a release archive show, each its own reason.
    case FailureKind::UnsafeLink:
        return QStringLiteral("插件包含有指向包外的链接，已拒绝安装，请重新下载。");
    case FailureKind::TooManyEntries:
        return QStringLiteral("插件包含有的文件过多（超过 20000 个），已拒绝安装，请重新下载。");
    case FailureKind::PackageTooLarge:
        return QStringLiteral("插件包解压后过大（超过 2 GB），已拒绝安装，请重新下载。");
    case FailureKind::UnreadableNames:
        return QStringLiteral("插件包中的文件名无法按原样解压（会变成乱码），已拒绝安装，请重新下载。");
    case FailureKind::UnsupportedCompression:
        return QStringLiteral("插件包使用了本机无法解压的压缩方式，已拒绝安装，请重新下载。");
    case FailureKind::EncryptedPackage:
        return QStringLiteral("插件包已加密，需要密码才能解压，已拒绝安装，请重新下载。");
    case FailureKind::NotEnoughDiskSpace:
        return QStringLiteral("磁盘空间不足：解压插件包需要约 ") + details.output + QStringLiteral(" 可用空间，请清理磁盘后重试。");
    case FailureKind::UnpackTimedOut:
        return QStringLiteral("解压插件包超时，已停止解压，请重新下载。");
    case FailureKind::NoCachedPackage:
        return QStringLiteral("本机没有可用插件包缓存。请联网后点击安装或更新。");
    case FailureKind::FileSystem:
        return QStringLiteral("无法") + details.action + QStringLiteral("“") + details.path + QStringLiteral("”：")
            + LocalFiles::reasonForErrno(details.errorNumber) + QStringLiteral("。");
    case FailureKind::SignInExpired:
    case FailureKind::CredentialRefused:
    case FailureKind::ServiceRefused:
    case FailureKind::MalformedAnswer:
    case FailureKind::CredentialStorage:
    case FailureKind::WpsRunning:
    case FailureKind::UnsafeName:
    case FailureKind::ToolTooOld:
    case FailureKind::UnrecognisedWpsFile:
    case FailureKind::InstallerMissing:
    case FailureKind::InstallerFailed:
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
