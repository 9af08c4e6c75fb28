#include "CommandLine.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

const QString helpOption = QStringLiteral("--help");
const QString versionOption = QStringLiteral("--version");

struct CommandSpec
{
    CommandLine::Command command;
    QSet<QString> options;
};

const QHash<QString, CommandSpec> &commands()
{
    static const QHash<QString, CommandSpec> table = {
        {QStringLiteral("status"), {CommandLine::Command::Status, {QStringLiteral("--json"), QStringLiteral("--offline")}}},
        {QStringLiteral("check"), {CommandLine::Command::Check, {}}},
        {QStringLiteral("install"), {CommandLine::Command::Install, {}}},
        {QStringLiteral("repair-from-cache"), {CommandLine::Command::RepairFromCache, {}}},
        {QStringLiteral("uninstall"), {CommandLine::Command::Uninstall, {QStringLiteral("--yes")}}},
    };
    return table;
}

bool isHelp(const QString &argument)
{
    return argument == helpOption || argument == QLatin1String("-h");
}

CommandLine::Invocation usageError(QString why)
{
    CommandLine::Invocation invocation;
    invocation.usageError = std::move(why);
    return invocation;
}

} // namespace

bool CommandLine::wantsCommand(int argc, const char *const *argv)
{
    if (argc < 2 || !argv[1])
        return false;
    const QString first = QString::fromLocal8Bit(argv[1]);
    return !first.startsWith(QLatin1Char('-')) || isHelp(first) || first == versionOption;
}

CommandLine::Invocation CommandLine::parse(const QStringList &arguments)
{
    Invocation invocation;
    if (arguments.isEmpty() || std::any_of(arguments.cbegin(), arguments.cend(), isHelp))
        return invocation;
    const QString &name = arguments.first();
    if (name == versionOption) {
        if (arguments.size() > 1)
            return usageError(QStringLiteral("--version 不带其他参数。"));
        invocation.command = Command::Version;
        return invocation;
    }
    if (name == QLatin1String("mirror"))
        return parseMirror(arguments);
    const auto known = commands().constFind(name);
    if (known == commands().constEnd())
        return usageError(QStringLiteral("未知命令：") + name);
    invocation.command = known->command;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &option = arguments.at(i);
        if (!known->options.contains(option))
            return usageError(name + QStringLiteral(" 不接受参数：") + option);
        invocation.json = invocation.json || option == QLatin1String("--json");
        invocation.offline = invocation.offline || option == QLatin1String("--offline");
        invocation.confirmed = invocation.confirmed || option == QLatin1String("--yes");
    }
    // The window asks before it uninstalls; here the question is answered on the command line.
    if (invocation.command == Command::Uninstall && !invocation.confirmed)
        return usageError(QStringLiteral("uninstall 会移除 WPS 表格中的 CorvantaAnalysis 加载项，请加 --yes 确认。"));
    return invocation;
}

// "mirror DIR [--version V]": the only command with values, so it reads its own.
CommandLine::Invocation CommandLine::parseMirror(const QStringList &arguments)
{
    Invocation invocation;
    invocation.command = Command::Mirror;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--version") && i + 1 < arguments.size() && invocation.mirrorVersion.isEmpty())
            invocation.mirrorVersion = arguments.at(++i);
        else if (!argument.startsWith(u'-') && invocation.mirrorDir.isEmpty())
            invocation.mirrorDir = argument;
        else
            return usageError(QStringLiteral("mirror 不接受参数：") + argument);
    }
    if (invocation.mirrorDir.isEmpty())
        return usageError(QStringLiteral("mirror 需要镜像文件夹，例如：mirror /srv/corvanta-mirror"));
    return invocation;
}

QString CommandLine::usage(const QString &program)
{
    return QStringLiteral(
               "用法：%1 [命令] [选项]\n"
               "不带命令时打开管理工具窗口。命令不打开窗口，做完即退出；消息写到标准错误。\n"
               "\n"
               "命令：\n"
               "  status [--json] [--offline]  显示插件的安装版本、最新版本、安装状态、WPS 是否在运行\n"
               "                               和本机缓存；--json 输出一个 JSON 对象，--offline 不查询最新版本\n"
               "  check                        检查更新\n"
               "  install                      在线安装、更新或修复插件（需已在窗口中登录）\n"
               "  repair-from-cache            用本机缓存修复插件，不联网\n"
               "  uninstall --yes              从 WPS 表格卸载插件（必须加 --yes）\n"
               "  mirror 文件夹 [--version 版本]\n"
               "                               把最新版本（或指定版本）的插件安装包及其厂商签名下载到内部镜像\n"
               "                               文件夹，保留 3 个旧版本（需已在窗口中登录，供 IT 部门使用）\n"
               "  --help                       显示本说明\n"
               "  --version                    显示管理工具的版本\n"
               "\n"
               "退出码：\n"
               "  0   成功；check：已是最新版\n"
               "  1   失败\n"
               "  2   用法错误\n"
               "  3   WPS 正在运行\n"
               "  4   离线或无法连接 Corvanta 服务\n"
               "  5   另一项插件操作正在进行\n"
               "  6   尚未登录 Corvanta 账户或登录已失效，请在管理工具窗口中登录\n"
               "  10  check：有可安装的新版本（或尚未安装插件）\n")
        .arg(program);
}

CommandLine::ExitCode CommandLine::exitCodeFor(const OperationOutcome &outcome)
{
    return outcome.isDone() ? Success : FailureClass::of(outcome.kind()).exitCode;
}
