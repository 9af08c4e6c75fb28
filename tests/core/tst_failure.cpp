#include "core/Failure.h"
#include "core/UrlErrorCode.h"

#include <QTest>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

Q_DECLARE_METATYPE(FailureKind)
Q_DECLARE_METATYPE(FailureDetails)

class tst_Failure : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sentenceOfEachKind_data();
    void sentenceOfEachKind();
    void foreignErrorsReadInChinese();
};

namespace {

FailureDetails transport(int code, const QString &host = {})
{
    FailureDetails details;
    details.urlCode = code;
    details.host = host;
    return details;
}

FailureDetails refusal(int status, std::optional<QString> reason, std::optional<QString> message)
{
    FailureDetails details;
    details.httpStatus = status;
    details.reason = std::move(reason);
    details.serviceMessage = std::move(message);
    return details;
}

FailureDetails entry(const QString &action, const QString &path, int error = 0)
{
    FailureDetails details;
    details.action = action;
    details.path = path;
    details.errorNumber = error;
    return details;
}

FailureDetails withPath(const QString &path)
{
    return entry({}, path);
}

FailureDetails withOutput(const QString &path, const QString &output)
{
    FailureDetails details = withPath(path);
    details.output = output;
    return details;
}

} // namespace

// Every sentence the user can read for a failure, exactly as the tool has always written it.
void tst_Failure::sentenceOfEachKind_data()
{
    QTest::addColumn<FailureKind>("kind");
    QTest::addColumn<FailureDetails>("details");
    QTest::addColumn<QString>("sentence");
    using K = FailureKind;
    const FailureDetails none;

    QTest::newRow("internal") << K::Internal << none << QStringLiteral("发生了内部错误，请重试。");
    QTest::newRow("offline: the install's own verdict") << K::Offline << none
        << QStringLiteral("当前离线，安装或更新需要连接 Corvanta 服务。如需应急使用旧缓存，请在「更多」中选择「用本机缓存修复」。");
    QTest::newRow("offline: no route") << K::Offline << transport(UrlErrorCode::NotConnectedToInternet)
        << QStringLiteral("似乎已断开与互联网的连接。");
    QTest::newRow("unreachable: the install's own verdict") << K::ServiceUnreachable << none
        << QStringLiteral("无法连接 Corvanta 服务，请检查网络后重试。如需应急使用旧缓存，请在「更多」中选择「用本机缓存修复」。");
    QTest::newRow("unreachable: no host") << K::ServiceUnreachable << transport(UrlErrorCode::CannotFindHost)
        << QStringLiteral("未能找到使用指定主机名的服务器。");
    QTest::newRow("unreachable: refused") << K::ServiceUnreachable << transport(UrlErrorCode::CannotConnectToHost)
        << QStringLiteral("未能连接到服务器。");
    QTest::newRow("unreachable: lost") << K::ServiceUnreachable << transport(UrlErrorCode::NetworkConnectionLost)
        << QStringLiteral("网络连接已中断。");
    QTest::newRow("unreachable: dns") << K::ServiceUnreachable << transport(UrlErrorCode::DNSLookupFailed)
        << QStringLiteral("DNS 查询失败。");
    QTest::newRow("unreachable: roaming") << K::ServiceUnreachable << transport(UrlErrorCode::InternationalRoamingOff)
        << QStringLiteral("国际漫游当前已关闭。");
    QTest::newRow("timeout") << K::Timeout << transport(UrlErrorCode::TimedOut) << QStringLiteral("请求超时。");
    QTest::newRow("cancelled") << K::Cancelled << transport(UrlErrorCode::Cancelled) << QStringLiteral("已取消。");
    QTest::newRow("cancelled without a code") << K::Cancelled << none << QStringLiteral("已取消。");
    QTest::newRow("tls") << K::SecureConnection << transport(UrlErrorCode::SecureConnectionFailed)
        << QStringLiteral("发生了 SSL 错误，无法建立与该服务器的安全连接。");
    QTest::newRow("certificate expired") << K::SecureConnection
        << transport(UrlErrorCode::ServerCertificateHasBadDate, QStringLiteral("example.com"))
        << QStringLiteral("此服务器的证书已过期。您可能正在连接到一个假冒“example.com”的服务器，这会威胁到您的机密信息的安全。");
    QTest::newRow("certificate untrusted") << K::SecureConnection
        << transport(UrlErrorCode::ServerCertificateUntrusted, QStringLiteral("h"))
        << QStringLiteral("此服务器的证书无效。您可能正在连接到一个假冒“h”的服务器，这会威胁到您的机密信息的安全。");
    QTest::newRow("certificate unknown root") << K::SecureConnection
        << transport(UrlErrorCode::ServerCertificateHasUnknownRoot, QStringLiteral("h"))
        << QStringLiteral("此服务器的证书由未知的颁发机构签发。您可能正在连接到一个假冒“h”的服务器，这会威胁到您的机密信息的安全。");
    QTest::newRow("certificate not yet valid") << K::SecureConnection
        << transport(UrlErrorCode::ServerCertificateNotYetValid, QStringLiteral("h"))
        << QStringLiteral("此服务器的证书尚未生效。您可能正在连接到一个假冒“h”的服务器，这会威胁到您的机密信息的安全。");
    QTest::newRow("bad url") << K::Transport << transport(UrlErrorCode::BadURL) << QStringLiteral("URL 无效。");
    QTest::newRow("unsupported url") << K::Transport << transport(UrlErrorCode::UnsupportedURL)
        << QStringLiteral("不支持的 URL。");
    QTest::newRow("redirects") << K::Transport << transport(UrlErrorCode::HTTPTooManyRedirects)
        << QStringLiteral("重定向次数过多。");
    QTest::newRow("bad response") << K::Transport << transport(UrlErrorCode::BadServerResponse)
        << QStringLiteral("服务器返回了无效的响应。");
    QTest::newRow("authentication") << K::Transport << transport(UrlErrorCode::UserAuthenticationRequired)
        << QStringLiteral("需要用户认证才能访问此资源。");
    QTest::newRow("insecure redirect") << K::Transport
        << transport(UrlErrorCode::AppTransportSecurityRequiresSecureConnection)
        << QStringLiteral("无法载入资源，因为应用传输安全策略要求使用安全连接。");
    QTest::newRow("unknown transport") << K::Transport << transport(UrlErrorCode::Unknown)
        << QStringLiteral("发生了未知错误。");

    QTest::newRow("not signed in") << K::NotSignedIn << none << QStringLiteral("尚未登录 Corvanta 账户，请先登录后再安装。");
    QTest::newRow("sign-in expired") << K::SignInExpired << refusal(400, QStringLiteral("refresh_token_invalid"), QStringLiteral("m"))
        << QStringLiteral("刷新凭证无效或过期，请重新登录。");
    QTest::newRow("credential refused, service's words") << K::CredentialRefused
        << refusal(401, QStringLiteral("banned"), QStringLiteral("账号已在别处登录。")) << QStringLiteral("账号已在别处登录。");
    QTest::newRow("credential refused, empty message") << K::CredentialRefused << refusal(401, {}, QString())
        << QStringLiteral("本机保存的登录凭证已失效，请重新登录。");
    QTest::newRow("refused: reason beats message") << K::ServiceRefused
        << refusal(400, QStringLiteral("quota_exceeded"), QStringLiteral("服务器说明")) << QStringLiteral("授权失败：quota_exceeded");
    QTest::newRow("refused: an empty reason is still a reason") << K::ServiceRefused
        << refusal(400, QString(), QStringLiteral("服务器说明")) << QStringLiteral("授权失败：");
    QTest::newRow("refused: message") << K::ServiceRefused << refusal(400, {}, QStringLiteral("设备数量已达上限。"))
        << QStringLiteral("设备数量已达上限。");
    QTest::newRow("refused: 401 status alone") << K::ServiceRefused << refusal(401, {}, {})
        << QStringLiteral("登录状态已过期，请重新登录后再试。");
    QTest::newRow("refused: 403") << K::ServiceRefused << refusal(403, {}, QString())
        << QStringLiteral("登录状态已过期，请重新登录后再试。");
    QTest::newRow("refused: 404") << K::ServiceRefused << refusal(404, {}, {})
        << QStringLiteral("未找到授权服务，请确认当前管理工具版本或授权接口环境。");
    QTest::newRow("refused: 503") << K::ServiceRefused << refusal(503, {}, {})
        << QStringLiteral("授权服务暂时不可用，请稍后重试；如果问题持续出现，请重新登录后再试。");
    QTest::newRow("refused: 429") << K::ServiceRefused << refusal(429, {}, {})
        << QStringLiteral("授权服务返回异常：HTTP 429");
    QTest::newRow("malformed answer") << K::MalformedAnswer << none << QStringLiteral("授权服务响应格式异常。");
    QTest::newRow("not json") << K::NotJson << none << QStringLiteral("未能读取数据，因为它的格式不正确。");
    QTest::newRow("release unavailable") << K::ReleaseUnavailable << none << QStringLiteral("插件版本信息不可用。");
    QTest::newRow("release unavailable, service's words") << K::ReleaseUnavailable << refusal(200, {}, QStringLiteral("暂无版本"))
        << QStringLiteral("暂无版本");
    QTest::newRow("download not granted") << K::DownloadNotGranted << none << QStringLiteral("插件下载授权不可用。");
    QTest::newRow("release without version") << K::ReleaseWithoutVersion << none << QStringLiteral("插件发布信息缺少版本号。");
    QTest::newRow("release without checksum") << K::ReleaseWithoutChecksum << none << QStringLiteral("插件发布信息缺少 sha256。");
    QTest::newRow("no download address") << K::NoDownloadAddress << none
        << QStringLiteral("授权服务未返回插件下载地址，请稍后重试。");
    QTest::newRow("invalid download address") << K::InvalidDownloadAddress << none
        << QStringLiteral("授权服务返回的插件下载地址无效，已拒绝下载。");
    QTest::newRow("keychain") << K::CredentialStorage << none
        << QStringLiteral("无法访问系统钥匙串中的账户凭据，请确认钥匙串已解锁后重试。");
    QTest::newRow("private credential file") << K::CredentialStorage << withPath(QStringLiteral("/h/credentials/account-credential"))
        << QStringLiteral("无法保存账户凭据，请检查磁盘空间和目录权限后重试。");
    QTest::newRow("invalid sign-in") << K::InvalidSignIn << none << QStringLiteral("网站返回的登录信息无效，请重新登录。");

    QTest::newRow("busy") << K::Busy << none << QStringLiteral("另一项插件操作正在进行，请等它完成后再试。");
    QTest::newRow("lock unavailable") << K::LockUnavailable << withPath(QStringLiteral("/s/plugin-operation.lock"))
        << QStringLiteral("无法创建操作锁文件“/s/plugin-operation.lock”，请检查该文件夹的权限。");
    QTest::newRow("wps running") << K::WpsRunning << entry(QStringLiteral("安装"), {})
        << QStringLiteral("请先完全退出 WPS 表格，再点击“安装”。");

    QTest::newRow("checksum") << K::ChecksumMismatch << none << QStringLiteral("安装包校验失败，文件可能不完整，请重新下载。");
    QTest::newRow("unsafe archive") << K::UnsafeArchive << none
        << QStringLiteral("插件包含有指向包外的文件路径，已拒绝安装，请重新下载。");
    QTest::newRow("incomplete package") << K::IncompletePackage << none << QStringLiteral("插件包结构不完整，请重新下载。");
    QTest::newRow("incomplete package folder") << K::IncompletePackageFolder << none
        << QStringLiteral("插件包结构不完整，请重新下载。");
    QTest::newRow("unsafe version") << K::UnsafeName << none << QStringLiteral("授权服务返回的插件版本号不安全，已拒绝下载。");
    QTest::newRow("unsafe file name") << K::UnsafeName << withPath(QStringLiteral("../x.zip"))
        << QStringLiteral("授权服务返回的插件文件名不安全，已拒绝下载。");
    QTest::newRow("invalid package version") << K::InvalidPackageVersion << none
        << QStringLiteral("插件包的版本号无效，请重新下载。");
    FailureDetails versions;
    versions.version = QStringLiteral("2.0.0");
    versions.requiredVersion = QStringLiteral("9.1");
    QTest::newRow("tool too old") << K::ToolTooOld << versions
        << QStringLiteral("插件 2.0.0 要求管理工具不低于 9.1，请联网后升级管理工具再安装。");
    QTest::newRow("no cached package") << K::NoCachedPackage << none
        << QStringLiteral("本机没有可用插件包缓存。请联网后点击安装或更新。");

    QTest::newRow("publish.xml") << K::UnrecognisedWpsFile << withPath(QStringLiteral("publish.xml"))
        << QStringLiteral("WPS 的加载项列表“publish.xml”格式无法识别，未做修改。");
    QTest::newRow("authaddin.json") << K::UnrecognisedWpsFile << withPath(QStringLiteral("authaddin.json"))
        << QStringLiteral("WPS 的加载项注册表“authaddin.json”格式无法识别，未做修改。");
    QTest::newRow("not utf-8") << K::NotUtf8 << withPath(QStringLiteral("publish.xml"))
        << QStringLiteral("未能打开文件“publish.xml”，因为无法确定其内容的文本编码。");
    QTest::newRow("incomplete installed folder") << K::IncompleteInstalledFolder << withPath(QStringLiteral("CorvantaAnalysis_1.0"))
        << QStringLiteral("插件文件夹“CorvantaAnalysis_1.0”不完整，未登记到 WPS。");
    QTest::newRow("installer missing") << K::InstallerMissing << none
        << QStringLiteral("安装包缺少 WPS 插件 Payload，请重新下载正式安装包。");
    QTest::newRow("installer failed silently") << K::InstallerFailed << none << QStringLiteral("WPS 插件安装脚本执行失败。");
    QTest::newRow("installer failed, its words") << K::InstallerFailed << withOutput({}, QStringLiteral("复制失败\n"))
        << QStringLiteral("复制失败\n");
    QTest::newRow("embedded tool missing") << K::EmbeddedToolMissing << none
        << QStringLiteral("安装包缺少内嵌的 Corvanta 管理工具，请重新下载 DMG。");
    QTest::newRow("installed tool not opened") << K::InstalledToolNotOpened << none
        << QStringLiteral("管理工具已安装，但打开失败。请到 ~/Applications/Corvanta 手动打开。");
    QTest::newRow("launch failed") << K::LaunchFailed << withOutput(QStringLiteral("/bin/nope"), QStringLiteral("文件不存在"))
        << QStringLiteral("无法启动 /bin/nope：文件不存在。");
    QTest::newRow("bundle opener failed") << K::BundleOpenFailed << withOutput(QStringLiteral("/usr/bin/open"), QStringLiteral("没有执行权限"))
        << QStringLiteral("无法启动“/usr/bin/open”：没有执行权限。");

    QTest::newRow("file system") << K::FileSystem << entry(QStringLiteral("删除"), QStringLiteral("publish.xml"), EACCES)
        << QStringLiteral("无法删除“publish.xml”：没有权限。");
    QTest::newRow("file system, unusual errno") << K::FileSystem << entry(QStringLiteral("写入"), QStringLiteral("a"), EPROTO)
        << QStringLiteral("无法写入“a”：系统错误（错误码 %1）。").arg(EPROTO);
    QTest::newRow("folder step") << K::FolderStep << entry(QStringLiteral("读取目录"), QStringLiteral("/c/.extract-1"))
        << QStringLiteral("无法读取目录 /c/.extract-1。");
    QTest::newRow("not a file or folder") << K::NotFileOrFolder << entry(QStringLiteral("复制"), QStringLiteral("socket"))
        << QStringLiteral("无法复制“socket”：不是普通文件或文件夹。");
    QTest::newRow("unreadable file") << K::UnreadableFile << withPath(QStringLiteral("/d/a.zip"))
        << QStringLiteral("无法读取文件 /d/a.zip，请确认文件存在且可读后重试。");
    QTest::newRow("download not written") << K::DownloadWriteFailed << entry({}, QStringLiteral("/d/.download-1"), ENOSPC)
        << QStringLiteral("无法写入下载文件“/d/.download-1”（磁盘空间不足），请检查磁盘空间和目录权限后重试。");
    QTest::newRow("download not written, no reason") << K::DownloadWriteFailed << entry({}, QStringLiteral("/d/.download-1"))
        << QStringLiteral("无法写入下载文件“/d/.download-1”，请检查磁盘空间和目录权限后重试。");
    QTest::newRow("wps running, seen by the installer's helper") << K::WpsRunning << none
        << QStringLiteral("WPS 表格正在运行，未做任何修改。请先完全退出 WPS 表格后重试。");
    QTest::newRow("installer: package refused, its words") << K::InstallerPackageRefused
        << withOutput({}, QStringLiteral("找不到要安装的插件包，请重新下载后再试。"))
        << QStringLiteral("找不到要安装的插件包，请重新下载后再试。");
    QTest::newRow("installer: registration failed silently") << K::InstallerRegistrationFailed << none
        << QStringLiteral("WPS 插件安装脚本执行失败。");
    QTest::newRow("unsafe link") << K::UnsafeLink << none
        << QStringLiteral("插件包含有指向包外的链接，已拒绝安装，请重新下载。");
    QTest::newRow("too many entries") << K::TooManyEntries << none
        << QStringLiteral("插件包含有的文件过多（超过 20000 个），已拒绝安装，请重新下载。");
    QTest::newRow("too large unpacked") << K::PackageTooLarge << none
        << QStringLiteral("插件包解压后过大（超过 2 GB），已拒绝安装，请重新下载。");
    QTest::newRow("garbled names") << K::UnreadableNames << none
        << QStringLiteral("插件包中的文件名无法按原样解压（会变成乱码），已拒绝安装，请重新下载。");
    QTest::newRow("unreadable method") << K::UnsupportedCompression << none
        << QStringLiteral("插件包使用了本机无法解压的压缩方式，已拒绝安装，请重新下载。");
    QTest::newRow("encrypted") << K::EncryptedPackage << none
        << QStringLiteral("插件包已加密，需要密码才能解压，已拒绝安装，请重新下载。");
    QTest::newRow("disk full") << K::NotEnoughDiskSpace << withOutput({}, QStringLiteral("3.0 MB"))
        << QStringLiteral("磁盘空间不足：解压插件包需要约 3.0 MB 可用空间，请清理磁盘后重试。");
    QTest::newRow("unzip timed out") << K::UnpackTimedOut << none
        << QStringLiteral("解压插件包超时，已停止解压，请重新下载。");
    QTest::newRow("proxy wants a password") << K::ProxyAuthenticationRequired << none
        << QStringLiteral("代理服务器要求身份验证，请在系统的网络代理设置中填写用户名和密码后重试。");
    QTest::newRow("release unsigned") << K::ReleaseUnsigned << none
        << QStringLiteral("插件安装包没有厂商签名，无法确认来源，已拒绝安装。请稍后重试或联系厂商。");
    QTest::newRow("release signature invalid") << K::ReleaseSignatureInvalid << none
        << QStringLiteral("插件安装包的厂商签名无效，文件可能已被篡改，已拒绝安装。请联系厂商。");
}

void tst_Failure::sentenceOfEachKind()
{
    QFETCH(FailureKind, kind);
    QFETCH(FailureDetails, details);
    QFETCH(QString, sentence);
    const Failure failure(kind, details);
    QCOMPARE(failure.sentence(), sentence);
    QCOMPARE(describeError(failure), sentence);
    QCOMPARE(QString::fromUtf8(failure.what()), sentence);
    QCOMPARE(failureKind(std::make_exception_ptr(failure)), kind);
}

// Library errors speak English; the user sees a sentence of ours.
void tst_Failure::foreignErrorsReadInChinese()
{
    const std::filesystem::filesystem_error tooLong("rename", std::make_error_code(std::errc::filename_too_long));
    QCOMPARE(describeError(tooLong), QStringLiteral("系统错误：文件名或路径过长。"));
    QCOMPARE(describeError(std::bad_alloc()), QStringLiteral("内存不足，请关闭其他程序后重试。"));
    QCOMPARE(describeError(std::runtime_error("EVP_DigestUpdate failed")), QStringLiteral("发生了内部错误，请重试。"));
    QCOMPARE(failureKind(std::runtime_error("x")), FailureKind::Internal);
    QCOMPARE(describeError(std::exception_ptr()), QString());
}

QTEST_GUILESS_MAIN(tst_Failure)
#include "tst_failure.moc"
