#include "CommandLineRunner.h"

#include "app/StatusReport.h"
#include "core/AppConstants.h"
#include "core/ConfirmationPrompt.h"
#include "core/Failure.h"
#include "core/ToolPaths.h"
#include "model/AuthToolModel.h"
#include "plugin/MirrorWriter.h"
#include "plugin/WpsDetection.h"
#include "service/ClientAuthAPI.h"

#include <QCoreApplication>
#include <QCoro/QCoroSignal>
#include <QFileInfo>
#include <QJsonDocument>

#include <chrono>
#include <cstdio>

#include <unistd.h>

namespace {

// The platform's first connectivity report comes from the event loop; one that says nothing
// (an undecided backend) is not waited for longer than this.
constexpr std::chrono::milliseconds connectivityWait{3000};

void write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

class ConfirmedOnCommandLine : public ConfirmationPrompt
{
public:
    bool confirm(const ConfirmationRequest &) override { return true; }
};

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1);
}

} // namespace

int CommandLineRunner::exec(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(BuildConfig::projectVersion));
    QStringList arguments = QCoreApplication::arguments();
    const QString program = QFileInfo(arguments.takeFirst()).fileName();
    const CommandLine::Invocation invocation = CommandLine::parse(arguments);
    if (!invocation.usageError.isEmpty()) {
        write(stderr, invocation.usageError + QStringLiteral("\n运行 ") + program + QStringLiteral(" --help 查看用法。\n"));
        return CommandLine::UsageError;
    }
    if (invocation.command == CommandLine::Command::Help) {
        write(stdout, CommandLine::usage(program));
        return CommandLine::Success;
    }
    if (invocation.command == CommandLine::Command::Version) {
        write(stdout, managementToolName + u' ' + ClientAuthAPI::appVersion() + u'\n');
        return CommandLine::Success;
    }
    AuthToolModel model;
    CommandLineRunner runner(&model);
    return QCoro::waitFor(runner.run(invocation));
}

CommandLineRunner::CommandLineRunner(AuthToolModel *model, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_progressOnTerminal(isatty(STDERR_FILENO) == 1)
{
    connect(m_model, &AuthToolModel::isOnlineChanged, this, [this] { m_connectivityReported = true; });
    connect(m_model, &AuthToolModel::operationMessageChanged, this, &CommandLineRunner::showMessage);
    if (m_progressOnTerminal) {
        connect(m_model, &AuthToolModel::downloadBytesReceivedChanged, this, &CommandLineRunner::showProgress);
        connect(m_model, &AuthToolModel::downloadBytesExpectedChanged, this, &CommandLineRunner::showProgress);
    }
}

CommandLineRunner::~CommandLineRunner()
{
    clearProgress();
}

QCoro::Task<int> CommandLineRunner::run(CommandLine::Invocation invocation)
{
    co_await awaitFirstConnectivityReport();
    // What the window's start-up reads first: an install tells an update from a first install by it.
    m_model->refreshInstalledPluginVersion();
    switch (invocation.command) {
    case CommandLine::Command::Status:
        co_return co_await status(invocation.json, !invocation.offline);
    case CommandLine::Command::Check:
        co_return co_await check();
    case CommandLine::Command::Install:
        co_return co_await change([this] { return m_model->installOrRepairPlugin(); });
    case CommandLine::Command::RepairFromCache:
        co_return co_await change([this] { return m_model->repairPluginFromCache(); });
    case CommandLine::Command::Uninstall:
        // Only reached with --yes: the question the window asks is answered already.
        m_model->setConfirmationPrompt(std::make_shared<ConfirmedOnCommandLine>());
        co_return co_await change([this] { return m_model->uninstallPlugin(); });
    case CommandLine::Command::Mirror:
        co_return co_await mirror(invocation.mirrorDir, invocation.mirrorVersion);
    case CommandLine::Command::Help:
    case CommandLine::Command::Version:
        break;
    }
    co_return CommandLine::UsageError;
}

// Without it the model would start from its optimistic "online" and an offline machine would try
// the network first.
QCoro::Task<> CommandLineRunner::awaitFirstConnectivityReport()
{
    if (!m_connectivityReported)
        co_await qCoro(m_model, &AuthToolModel::isOnlineChanged, connectivityWait);
}

QCoro::Task<int> CommandLineRunner::status(bool json, bool queryLatest)
{
    StatusReport report;
    int exitCode = CommandLine::Success;
    if (!queryLatest) {
        report.releaseQuery = StatusReport::ReleaseQuery::Skipped;
    } else if (!m_model->reachesPackageSource()) {
        report.releaseQuery = StatusReport::ReleaseQuery::Offline;
        exitCode = CommandLine::ServiceUnreachable;
    } else {
        const OperationOutcome outcome = co_await m_model->checkLatestPluginRelease();
        report.releaseQuery = StatusReport::ReleaseQuery::Answered;
        if (outcome.result() == OperationOutcome::Result::Refused)
            report.releaseQuery = StatusReport::ReleaseQuery::Offline;
        if (outcome.result() == OperationOutcome::Result::Failed) {
            report.releaseQuery = StatusReport::ReleaseQuery::Failed;
            report.releaseQueryError = describeError(outcome.failure());
        }
        exitCode = CommandLine::exitCodeFor(outcome);
    }
    report.toolVersion = ClientAuthAPI::appVersion();
    report.installedVersion = m_model->installedPluginVersionPublished();
    report.latestVersion = m_model->latestPluginVersion();
    report.installState = m_model->pluginInstallState();
    report.online = m_model->isOnline();
    report.wpsRunning = WpsDetection::isWpsRunning();
    report.wpsInstallations = WpsDetection::installations();
    report.addonDir = ToolPaths::addonDir();
    report.cachedPackages = StatusReport::readCachedPackages();
    report.policy = m_model->policy();
    write(stdout, json ? QString::fromUtf8(QJsonDocument(report.toJson()).toJson(QJsonDocument::Compact)) + u'\n'
                       : report.toText());
    co_return exitCode;
}

QCoro::Task<int> CommandLineRunner::check()
{
    const OperationOutcome outcome = co_await m_model->checkForUpdates();
    if (!outcome.isDone())
        co_return CommandLine::exitCodeFor(outcome);
    switch (m_model->pluginInstallState()) {
    case PluginInstallState::UpToDate:
        co_return CommandLine::Success;
    case PluginInstallState::UpdateAvailable:
    case PluginInstallState::NotInstalled:
        co_return CommandLine::UpdateAvailable;
    case PluginInstallState::Unknown:
        break;
    }
    co_return CommandLine::Failure;
}

// For IT staff on a machine that reaches the vendor: no WPS gate, nothing installed here.
QCoro::Task<int> CommandLineRunner::mirror(QString folder, QString version)
{
    const MirrorWriter writer(m_model->apiClient(), m_model->credentialStore());
    try {
        const QStringList lines = co_await writer.update(QFileInfo(folder).absoluteFilePath(), version);
        for (const QString &line : lines)
            write(stderr, line + u'\n');
        co_return CommandLine::Success;
    } catch (const std::exception &) {
        const std::exception_ptr error = std::current_exception();
        write(stderr, QStringLiteral("镜像失败：") + describeError(error) + u'\n');
        co_return CommandLine::exitCodeFor(OperationOutcome::failed(error));
    }
}

QCoro::Task<int> CommandLineRunner::change(std::function<QCoro::Task<OperationOutcome>()> operation)
{
    co_return CommandLine::exitCodeFor(co_await operation());
}

void CommandLineRunner::showMessage(const QString &message)
{
    // The banner clearing itself leaves nothing to say here.
    if (message.isEmpty())
        return;
    clearProgress();
    write(stderr, message + u'\n');
}

void CommandLineRunner::showProgress()
{
    const qint64 received = m_model->downloadBytesReceived();
    const qint64 expected = m_model->downloadBytesExpected();
    // Nothing received yet, or the download just ended and reset its counts.
    if (received <= 0) {
        clearProgress();
        return;
    }
    QString line = megabytes(received) + QStringLiteral(" MB");
    if (expected > 0)
        line = QString::number(received * 100 / expected) + QStringLiteral("%  ") + megabytes(received)
            + QStringLiteral(" / ") + megabytes(expected) + QStringLiteral(" MB");
    if (line == m_progressLine)
        return;
    write(stderr, QStringLiteral("\r") + line + QStringLiteral("\x1b[K"));
    m_progressLine = line;
}

void CommandLineRunner::clearProgress()
{
    if (m_progressLine.isEmpty())
        return;
    write(stderr, QStringLiteral("\r\x1b[K"));
    m_progressLine.clear();
}
