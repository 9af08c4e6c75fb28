#include "Failure.h"

#include "core/FailureClass.h"
#include "core/LocalFiles.h"
#include "core/UrlErrorCode.h"

#include <QDebug>

#include <new>
#include <system_error>

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

// The code a transport kind stands for when it was raised without one of its own.
int defaultUrlCode(FailureKind kind)
{
    switch (kind) {
    case FailureKind::Timeout:
        return UrlErrorCode::TimedOut;
    case FailureKind::Cancelled:
        return UrlErrorCode::Cancelled;
    case FailureKind::SecureConnection:
        return UrlErrorCode::SecureConnectionFailed;
    default:
        return UrlErrorCode::Unknown;
    }
}

QString httpStatusSentence(int status)
{
    if (status == 401 || status == 403)
        return QStringLiteral("登录状态已过期，请重新登录后再试。");
    if (status == 404)
        return QStringLiteral("未找到授权服务，请确认当前管理工具版本或授权接口环境。");
    if (status >= 500 && status <= 599)
        return QStringLiteral("授权服务暂时不可用，请稍后重试；如果问题持续出现，请重新登录后再试。");
    return QStringLiteral("授权服务返回异常：HTTP ") + QString::number(status);
}

bool hasText(const std::optional<QString> &text)
{
    return text && !text->isEmpty();
}

// "无法<action>“<path>”：<rest>。"
QString cannotSentence(const FailureDetails &details, const QString &rest)
{
    return QStringLiteral("无法") + details.action + QStringLiteral("“") + details.path + QStringLiteral("”：") + rest
        + QStringLiteral("。");
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
    case FailureKind::Internal:
        break;
    case FailureKind::Offline:
        if (details.urlCode == 0)
            return QStringLiteral("当前离线，安装或更新需要连接 Corvanta 服务。如需应急使用旧缓存，请在「更多」中选择「用本机缓存修复」。");
        return transportSentence(details.urlCode, details.host);
    case FailureKind::ServiceUnreachable:
        if (details.urlCode == 0)
            return QStringLiteral("无法连接 Corvanta 服务，请检查网络后重试。如需应急使用旧缓存，请在「更多」中选择「用本机缓存修复」。");
        return transportSentence(details.urlCode, details.host);
    case FailureKind::Timeout:
    case FailureKind::Cancelled:
    case FailureKind::SecureConnection:
    case FailureKind::Transport:
        return transportSentence(details.urlCode != 0 ? details.urlCode : defaultUrlCode(kind), details.host);

    case FailureKind::NotSignedIn:
        return QStringLiteral("尚未登录 Corvanta 账户，请先登录后再安装。");
    case FailureKind::SignInExpired:
        return QStringLiteral("刷新凭证无效或过期，请重新登录。");
    case FailureKind::CredentialRefused:
        if (hasText(details.serviceMessage))
            return *details.serviceMessage;
        return QStringLiteral("本机保存的登录凭证已失效，请重新登录。");
    case FailureKind::ServiceRefused:
        // The service's reason code wins over its message, and both over the status.
        if (details.reason)
            return QStringLiteral("授权失败：") + *details.reason;
        if (hasText(details.serviceMessage))
            return *details.serviceMessage;
        return httpStatusSentence(details.httpStatus);
    case FailureKind::MalformedAnswer:
        return QStringLiteral("授权服务响应格式异常。");
    case FailureKind::NotJson:
        return QStringLiteral("未能读取数据，因为它的格式不正确。");
    case FailureKind::ReleaseUnavailable:
        return details.serviceMessage.value_or(QStringLiteral("插件版本信息不可用。"));
    case FailureKind::DownloadNotGranted:
        return details.serviceMessage.value_or(QStringLiteral("插件下载授权不可用。"));
    case FailureKind::ReleaseWithoutVersion:
        return QStringLiteral("插件发布信息缺少版本号。");
    case FailureKind::ReleaseWithoutChecksum:
        return QStringLiteral("插件发布信息缺少 sha256。");
    case FailureKind::NoDownloadAddress:
        return QStringLiteral("授权服务未返回插件下载地址，请稍后重试。");
    case FailureKind::InvalidDownloadAddress:
        return QStringLiteral("授权服务返回的插件下载地址无效，已拒绝下载。");
    case FailureKind::CredentialStorage:
        if (!details.path.isEmpty())
            return QStringLiteral("无法保存账户凭据，请检查磁盘空间和目录权限后重试。");
        return QStringLiteral("无法访问系统钥匙串中的账户凭据，请确认钥匙串已解锁后重试。");
    case FailureKind::InvalidSignIn:
        return QStringLiteral("网站返回的登录信息无效，请重新登录。");

    case FailureKind::Busy:
        return QStringLiteral("另一项插件操作正在进行，请等它完成后再试。");
    case FailureKind::LockUnavailable:
        return QStringLiteral("无法创建操作锁文件“") + details.path + QStringLiteral("”，请检查该文件夹的权限。");
    case FailureKind::WpsRunning:
        // The installer's helper, which no button started, names no action.
        if (details.action.isEmpty())
            return QStringLiteral("WPS 表格正在运行，未做任何修改。请先完全退出 WPS 表格后重试。");
        return QStringLiteral("请先完全退出 WPS 表格，再点击“") + details.action + QStringLiteral("”。");

    case FailureKind::ChecksumMismatch:
        return QStringLiteral("安装包校验失败，文件可能不完整，请重新下载。");
    case FailureKind::UnsafeArchive:
        return QStringLiteral("插件包含有指向包外的文件路径，已拒绝安装，请重新下载。");
    case FailureKind::IncompletePackage:
    case FailureKind::IncompletePackageFolder:
        return QStringLiteral("插件包结构不完整，请重新下载。");
    case FailureKind::UnsafeName:
        if (!details.path.isEmpty())
            return QStringLiteral("授权服务返回的插件文件名不安全，已拒绝下载。");
        return QStringLiteral("授权服务返回的插件版本号不安全，已拒绝下载。");
    case FailureKind::InvalidPackageVersion:
        return QStringLiteral("插件包的版本号无效，请重新下载。");
    case FailureKind::ToolTooOld:
        return QStringLiteral("插件 ") + details.version + QStringLiteral(" 要求管理工具不低于 ") + details.requiredVersion
            + QStringLiteral("，请联网后升级管理工具再安装。");
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

    case FailureKind::UnrecognisedWpsFile:
        return QStringLiteral("WPS 的加载项")
            + (details.path.endsWith(QLatin1String(".xml")) ? QStringLiteral("列表") : QStringLiteral("注册表"))
            + QStringLiteral("“") + details.path + QStringLiteral("”格式无法识别，未做修改。");
    case FailureKind::NotUtf8:
        return QStringLiteral("未能打开文件“") + details.path + QStringLiteral("”，因为无法确定其内容的文本编码。");
    case FailureKind::IncompleteInstalledFolder:
        return QStringLiteral("插件文件夹“") + details.path + QStringLiteral("”不完整，未登记到 WPS。");
    case FailureKind::InstallerMissing:
        return QStringLiteral("安装包缺少 WPS 插件 Payload，请重新下载正式安装包。");
    // The installer's kinds come from its exit status; what it printed is the sentence.
    case FailureKind::InstallerFailed:
    case FailureKind::InstallerTimedOut:
    case FailureKind::InstallerPackageRefused:
    case FailureKind::InstallerCopyFailed:
    case FailureKind::InstallerRegistrationFailed:
        if (!details.output.isEmpty())
            return details.output;
        return QStringLiteral("WPS 插件安装脚本执行失败。");
    case FailureKind::EmbeddedToolMissing:
        return QStringLiteral("安装包缺少内嵌的 Corvanta 管理工具，请重新下载 DMG。");
    case FailureKind::InstalledToolNotOpened:
        return QStringLiteral("管理工具已安装，但打开失败。请到 ~/Applications/Corvanta 手动打开。");
    case FailureKind::LaunchFailed:
        return QStringLiteral("无法启动 ") + details.path + QStringLiteral("：") + details.output + QStringLiteral("。");
    case FailureKind::BundleOpenFailed:
        return QStringLiteral("无法启动“") + details.path + QStringLiteral("”：") + details.output + QStringLiteral("。");

    case FailureKind::FileSystem:
        return cannotSentence(details, LocalFiles::reasonForErrno(details.errorNumber));
    case FailureKind::FolderStep:
        return QStringLiteral("无法") + details.action + QLatin1Char(' ') + details.path + QStringLiteral("。");
    case FailureKind::NotFileOrFolder:
        return cannotSentence(details, QStringLiteral("不是普通文件或文件夹"));
    case FailureKind::UnreadableFile:
        return QStringLiteral("无法读取文件 ") + details.path + QStringLiteral("，请确认文件存在且可读后重试。");
    case FailureKind::DownloadWriteFailed: {
        const QString reason = details.errorNumber != 0
            ? QStringLiteral("（") + LocalFiles::reasonForErrno(details.errorNumber) + QStringLiteral("）")
            : QString();
        return QStringLiteral("无法写入下载文件“") + details.path + QStringLiteral("”") + reason
            + QStringLiteral("，请检查磁盘空间和目录权限后重试。");
    }

    // Proxies and signed releases.
    case FailureKind::ProxyAuthenticationRequired:
        return QStringLiteral("代理服务器要求身份验证，请在系统的网络代理设置中填写用户名和密码后重试。");
    case FailureKind::ReleaseUnsigned:
        return QStringLiteral("插件安装包没有厂商签名，无法确认来源，已拒绝安装。请稍后重试或联系厂商。");
    case FailureKind::ReleaseSignatureInvalid:
        return QStringLiteral("插件安装包的厂商签名无效，文件可能已被篡改，已拒绝安装。请联系厂商。");

    case FailureKind::EntryLargerThanDeclared:
        return QStringLiteral("插件包中的文件“") + details.path
            + QStringLiteral("”解压后超出其声明的大小，插件包可能已被篡改，已拒绝安装，请重新下载。");
    case FailureKind::DuplicateEntry:
        return QStringLiteral("插件包中的文件“") + details.path + QStringLiteral("”出现了不止一次，已拒绝安装，请重新下载。");
    case FailureKind::AmbiguousArchive:
        return QStringLiteral("插件包含有多个文件目录或多余的数据，无法确定其内容，已拒绝安装，请重新下载。");
    case FailureKind::DiskFull:
        return QStringLiteral("磁盘空间不足：无法继续写入“") + details.path + QStringLiteral("”，请清理磁盘后重试。");
    case FailureKind::DownloadTooLarge:
        return QStringLiteral("插件安装包过大（超过 2 GB），已停止下载。请稍后重试或联系厂商。");
    case FailureKind::DownloadRefused:
        return QStringLiteral("无法下载插件安装包：下载服务器返回 HTTP ") + QString::number(details.httpStatus)
            + QStringLiteral("。请稍后重试；如果问题持续出现，请联系厂商。");

    case FailureKind::ReleaseKeysInvalid:
        return QStringLiteral("管理工具内置的厂商公钥无法读取，为安全起见已拒绝安装任何插件包。请安装管理工具的正式版本或联系厂商。");
    case FailureKind::RollbackRefused:
        return QStringLiteral("提供的插件版本 ") + details.version + QStringLiteral(" 低于已安装的版本 ") + details.requiredVersion
            + QStringLiteral("，为防止回退到旧版本，已拒绝安装。已安装的版本不受影响，仍可用同一版本修复。");
    case FailureKind::PolicyInvalid:
        return QStringLiteral("管理策略“") + details.path + QStringLiteral("”无法使用（") + details.output
            + QStringLiteral("），为安全起见已停用插件的安装、更新和在线页面。请联系 IT 部门。");
    case FailureKind::PinnedVersionExceeded:
        return QStringLiteral("IT 部门已将插件版本锁定为 ") + details.requiredVersion + QStringLiteral("，不会安装更新的版本 ")
            + details.version + QStringLiteral("。");
    case FailureKind::MirrorWithoutKeys:
        return QStringLiteral("此版本的管理工具没有内置厂商公钥，无法确认内部镜像的来源，已拒绝安装。请安装管理工具的正式版本。");
    case FailureKind::MirrorUnsigned:
        return QStringLiteral("内部镜像中的插件安装包没有厂商签名，无法确认来源，已拒绝安装。请联系 IT 部门重新制作镜像。");
    case FailureKind::MirrorIncomplete:
        return QStringLiteral("内部镜像中缺少“") + details.path + QStringLiteral("”，无法安装插件。请联系 IT 部门检查镜像。");
    }
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

bool isNetworkError(const std::exception &error)
{
    return FailureClass::of(failureKind(error)).network;
}

bool isCancellation(const std::exception &error)
{
    return FailureClass::of(failureKind(error)).cancellation;
}

QString describeError(const std::exception &error)
{
    if (const auto *failure = dynamic_cast<const Failure *>(&error))
        return failure->sentence();
    // Anything else comes from a library and speaks English: the user gets a sentence of ours,
    // the developer the original text.
    qWarning("Error without a description of its own: %s", error.what());
    if (const auto *system = dynamic_cast<const std::system_error *>(&error)) {
        if (system->code().category() == std::generic_category()
            || system->code().category() == std::system_category())
            return QStringLiteral("系统错误：") + LocalFiles::reasonForErrno(system->code().value())
                + QStringLiteral("。");
    }
    if (dynamic_cast<const std::bad_alloc *>(&error))
        return QStringLiteral("内存不足，请关闭其他程序后重试。");
    return QStringLiteral("发生了内部错误，请重试。");
}

QString describeError(const std::exception_ptr &error)
{
    if (!error)
        return {};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &caught) {
        return describeError(caught);
    } catch (...) {
        return {};
    }
}
