#include "app/CommandLine.h"
#include "core/Failure.h"
#include "model/OperationOutcome.h"
#include "core/UrlErrorCode.h"
#include "service/TransportFailure.h"

#include <QTest>

#include <stdexcept>

Q_DECLARE_METATYPE(OperationOutcome)

namespace {

template<typename E>
OperationOutcome failedWith(E error)
{
    return OperationOutcome::failed(std::make_exception_ptr(std::move(error)));
}

OperationOutcome failedWith(FailureKind kind)
{
    return failedWith(Failure(kind));
}

Failure transport(int code)
{
    return TransportFailure::fromCode(code, QStringLiteral("127.0.0.1"));
}

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exitCodeByOutcome_data();
    void exitCodeByOutcome();
    void commandOrWindow_data();
    void commandOrWindow();
};

void tst_CommandLine::exitCodeByOutcome_data()
{
    QTest::addColumn<OperationOutcome>("outcome");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("sentence"); // a failure's sentence as the user reads it; empty: not checked

    using Gate = OperationOutcome::Gate;
    QTest::newRow("done") << OperationOutcome::done() << 0 << "";
    QTest::newRow("refused: WPS running") << OperationOutcome::refused(Gate::WpsRunning) << 3 << "";
    QTest::newRow("refused: offline") << OperationOutcome::refused(Gate::Offline) << 4 << "";
    QTest::newRow("refused: busy") << OperationOutcome::refused(Gate::Busy) << 5 << "";
    QTest::newRow("refused: not confirmed") << OperationOutcome::refused(Gate::NotConfirmed) << 1 << "";
    QTest::newRow("cancelled") << OperationOutcome::cancelled() << 1 << "";
    QTest::newRow("install offline") << failedWith(FailureKind::Offline) << 4
        << "当前离线，安装或更新需要连接 Corvanta 服务。如需应急使用旧缓存，请在「更多」中选择「用本机缓存修复」。";
    QTest::newRow("install without service") << failedWith(FailureKind::ServiceUnreachable) << 4
        << "无法连接 Corvanta 服务，请检查网络后重试。如需应急使用旧缓存，请在「更多」中选择「用本机缓存修复」。";
    QTest::newRow("timeout") << failedWith(FailureKind::Timeout) << 4 << "";
    QTest::newRow("lock held elsewhere") << failedWith(FailureKind::Busy) << 5 << "另一项插件操作正在进行，请等它完成后再试。";
    QTest::newRow("not signed in") << failedWith(FailureKind::NotSignedIn) << 6 << "尚未登录 Corvanta 账户，请先登录后再安装。";
    QTest::newRow("sign-in expired") << failedWith(FailureKind::SignInExpired) << 6 << "";
    QTest::newRow("credential refused") << failedWith(FailureKind::CredentialRefused) << 6 << "";
    QTest::newRow("WPS running") << failedWith(FailureKind::WpsRunning) << 3 << "";
    QTest::newRow("no cached package") << failedWith(FailureKind::NoCachedPackage) << 1
        << "本机没有可用插件包缓存。请联网后点击安装或更新。";
    QTest::newRow("checksum") << failedWith(FailureKind::ChecksumMismatch) << 1 << "";
    QTest::newRow("installer failed") << failedWith(FailureKind::InstallerFailed) << 1 << "";
    QTest::newRow("proxy wants a password") << failedWith(FailureKind::ProxyAuthenticationRequired) << 4
        << "代理服务器要求身份验证，请在系统的网络代理设置中填写用户名和密码后重试。";
    QTest::newRow("release unsigned") << failedWith(FailureKind::ReleaseUnsigned) << 1 << "";
    QTest::newRow("release signature invalid") << failedWith(FailureKind::ReleaseSignatureInvalid) << 1 << "";
    QTest::newRow("file system") << failedWith(FailureKind::FileSystem) << 1 << "";
    FailureDetails pin;
    pin.version = QStringLiteral("1.5.0");
    pin.requiredVersion = QStringLiteral("1.4.2");
    QTest::newRow("past the pinned version") << failedWith(Failure(FailureKind::PinnedVersionExceeded, pin)) << 1
        << "IT 部门已将插件版本锁定为 1.4.2，不会安装更新的版本 1.5.0。";
    QTest::newRow("unreadable release keys") << failedWith(FailureKind::ReleaseKeysInvalid) << 1
        << "管理工具内置的厂商公钥无法读取，为安全起见已拒绝安装任何插件包。请安装管理工具的正式版本或联系厂商。";
    // Failures below HTTP, by their URL-loading code.
    QTest::newRow("no internet") << failedWith(transport(UrlErrorCode::NotConnectedToInternet)) << 4 << "似乎已断开与互联网的连接。";
    QTest::newRow("request timed out") << failedWith(transport(UrlErrorCode::TimedOut)) << 4 << "请求超时。";
    QTest::newRow("cannot connect") << failedWith(transport(UrlErrorCode::CannotConnectToHost)) << 4 << "未能连接到服务器。";
    QTest::newRow("TLS refused") << failedWith(transport(UrlErrorCode::SecureConnectionFailed)) << 1 << "";
    QTest::newRow("transfer cancelled") << failedWith(transport(UrlErrorCode::Cancelled)) << 1 << "";
    QTest::newRow("service refused") << failedWith(FailureKind::ServiceRefused) << 1 << "";
    QTest::newRow("download server refused 401") << failedWith([] { FailureDetails refusal; refusal.httpStatus = 401; return Failure(FailureKind::DownloadRefused, refusal); }()) << 1
        << "无法下载插件安装包：下载服务器返回 HTTP 401。请稍后重试；如果问题持续出现，请联系厂商。";
    QTest::newRow("library error") << failedWith(std::runtime_error("boom")) << 1 << "发生了内部错误，请重试。";
}

void tst_CommandLine::exitCodeByOutcome()
{
    QFETCH(OperationOutcome, outcome);
    QFETCH(int, exitCode);
    QFETCH(QString, sentence);
    QCOMPARE(int(CommandLine::exitCodeFor(outcome)), exitCode);
    if (!sentence.isEmpty())
        QCOMPARE(describeError(outcome.failure()), sentence);
}

// The usage is printed, never the window opened, for either help option; Qt's own options open it.
void tst_CommandLine::commandOrWindow_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<bool>("command");
    for (const char *first : {"--help", "-h", "--version", "status", "statsu"})
        QTest::newRow(first) << QByteArray(first) << true;
    QTest::newRow("-platform") << QByteArray("-platform") << false;
}

void tst_CommandLine::commandOrWindow()
{
    QFETCH(QByteArray, first);
    QFETCH(bool, command);
    const char *const argv[] = {"CorvantaManagementTool", first.constData(), nullptr};
    QCOMPARE(CommandLine::wantsCommand(2, argv), command);
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
