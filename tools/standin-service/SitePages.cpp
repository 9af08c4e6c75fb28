#include "SitePages.h"

#include <QList>

namespace {

struct Page
{
    QString path;
    QString title;
    QString lead;
    QList<QPair<QString, QString>> cards;
};

const QList<Page> &pages()
{
    static const QList<Page> all = {
        {QStringLiteral("/pricing"), QStringLiteral("服务方案"),
         QStringLiteral("按科室规模选择合适的 Corvanta分析 服务方案，随时升级。"),
         {{QStringLiteral("基础版"), QStringLiteral("每月 2,000 份病案分析，适合单个科室试用。")},
          {QStringLiteral("专业版"), QStringLiteral("每月 20,000 份病案分析，含 DRG/DIP 分组对比报告。")},
          {QStringLiteral("机构版"), QStringLiteral("不限病案数量，专属顾问与私有化部署支持。")}}},
        {QStringLiteral("/settings/billing"), QStringLiteral("账单"),
         QStringLiteral("查看当前方案、续费日期和历史账单。"),
         {{QStringLiteral("当前方案"), QStringLiteral("专业版，下次续费日期 2026-12-31。")},
          {QStringLiteral("本期账单"), QStringLiteral("应付 ¥1,280.00，已开具电子发票。")}}},
        {QStringLiteral("/settings/payments"), QStringLiteral("支付记录"),
         QStringLiteral("最近的支付与退款记录。"),
         {{QStringLiteral("2026-11-01"), QStringLiteral("专业版月度续费 ¥1,280.00，支付成功。")},
          {QStringLiteral("2026-10-01"), QStringLiteral("专业版月度续费 ¥1,280.00，支付成功。")}}},
        {QStringLiteral("/settings/credits"), QStringLiteral("额度"),
         QStringLiteral("本月分析额度的使用情况。"),
         {{QStringLiteral("已使用"), QStringLiteral("12,406 份病案。")},
          {QStringLiteral("剩余"), QStringLiteral("7,594 份病案，每月 1 日重置。")}}},
        {QStringLiteral("/settings/apikeys"), QStringLiteral("API 密钥"),
         QStringLiteral("管理用于接口调用的密钥，请妥善保管。"),
         {{QStringLiteral("默认密钥"), QStringLiteral("cv-****-****-7f3a，创建于 2026-03-15。")},
          {QStringLiteral("新建密钥"), QStringLiteral("为不同的院区或系统分别创建密钥。")}}},
        {QStringLiteral("/settings/ai-config"), QStringLiteral("AI 配置"),
         QStringLiteral("调整病案分析所用的模型与提示设置。"),
         {{QStringLiteral("分析模型"), QStringLiteral("Corvanta 病案模型（推荐）。")},
          {QStringLiteral("输出语言"), QStringLiteral("简体中文。")}}},
        {QStringLiteral("/grouping-chat"), QStringLiteral("分组对话"),
         QStringLiteral("用对话的方式查询 DRG/DIP 分组依据与费用结构。"),
         {{QStringLiteral("示例问题"), QStringLiteral("这份病案为什么进入了 ES23 组？")},
          {QStringLiteral("示例问题"), QStringLiteral("同组病例的平均住院费用是多少？")}}},
    };
    return all;
}

const char style[] = R"(
* { box-sizing: border-box; }
body { margin: 0; font-family: -apple-system, "PingFang SC", "Noto Sans CJK SC", sans-serif; color: #1f2933; background: #f5f7fa; }
.flex { display: flex; } .flex-col { flex-direction: column; } .min-h-screen { min-height: 100vh; }
.fixed { position: fixed; } .inset-x-0 { left: 0; right: 0; } .top-0 { top: 0; } .z-50 { z-index: 50; }
header { height: 64px; background: #12355b; color: #fff; display: flex; align-items: center; padding: 0 32px; gap: 24px; }
header a { color: #dbe7f5; text-decoration: none; font-size: 14px; } header strong { font-size: 18px; margin-right: 24px; }
main { flex: 1; padding: 96px 48px 48px; max-width: 1080px; width: 100%; margin: 0 auto; }
h1 { font-size: 28px; margin: 0 0 8px; } p.lead { color: #52606d; margin: 0 0 32px; }
.cards { display: grid; grid-template-columns: repeat(auto-fill, minmax(260px, 1fr)); gap: 20px; }
.card { background: #fff; border-radius: 12px; padding: 24px; box-shadow: 0 1px 3px rgba(18, 53, 91, 0.12); }
.card h2 { font-size: 18px; margin: 0 0 8px; color: #12355b; } .card p { margin: 0; color: #3e4c59; line-height: 1.6; }
footer { padding: 24px 48px; background: #e4e9f0; color: #52606d; font-size: 13px; text-align: center; }
)";

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString navigation()
{
    QString nav;
    for (const Page &other : pages())
        nav += QStringLiteral("<a href=\"%1\">%2</a>").arg(other.path, escaped(other.title));
    return nav;
}

// The site's layout: header, main and footer inside the body's flex column.
QByteArray document(const QString &title, const QString &mainContent, const QString &extraHead = {})
{
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head><meta charset=\"utf-8\">"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
               "<title>%1 - Corvanta</title><style>%2</style>%5</head>\n<body>"
               "<div class=\"flex min-h-screen flex-col\">"
               "<header class=\"fixed inset-x-0 top-0 z-50\"><strong>Corvanta</strong>%3</header>"
               "<main>%4</main>"
               "<footer>© 2026 Corvanta 医疗数据服务 · 本页面由本地替身服务提供</footer>"
               "</div></body>\n</html>\n")
        .arg(escaped(title), QString::fromLatin1(style), navigation(), mainContent, extraHead)
        .toUtf8();
}

QString accountBar(const QString &path, const QString &account)
{
    if (account.isEmpty())
        return QStringLiteral("<p class=\"account\">尚未登录 · <a id=\"sign-in\" href=\"/account/sign-in?next=%1\">登录</a></p>")
            .arg(path);
    return QStringLiteral("<p class=\"account\">已登录：<span id=\"account\">%1</span> · "
                          "<a id=\"sign-out\" href=\"/account/sign-out?next=%2\">退出登录</a></p>")
        .arg(escaped(account), path);
}

// Only the site's own pages are places to return to.
QString safeNext(const QString &next)
{
    return SitePages::paths().contains(next) ? next : QStringLiteral("/settings/billing");
}

} // namespace

namespace SitePages {

QStringList paths()
{
    QStringList result;
    for (const Page &page : pages())
        result.append(page.path);
    return result;
}

QByteArray html(const QString &path, const QString &account)
{
    for (const Page &page : pages()) {
        if (page.path != path)
            continue;
        QString cards;
        for (const auto &[heading, text] : page.cards)
            cards += QStringLiteral("<section class=\"card\"><h2>%1</h2><p>%2</p></section>").arg(escaped(heading), escaped(text));
        return document(page.title, QStringLiteral("<h1>%1</h1><p class=\"lead\">%2</p>%3<div class=\"cards\">%4</div>")
                                        .arg(escaped(page.title), escaped(page.lead), accountBar(path, account), cards));
    }
    return {};
}

QByteArray signInHtml(const QString &next, const QString &error)
{
    const QString problem = error.isEmpty() ? QString() : QStringLiteral("<p class=\"error\">%1</p>").arg(escaped(error));
    return document(QStringLiteral("登录"),
                    QStringLiteral("<h1>登录 Corvanta 账户</h1><p class=\"lead\">登录后，管理工具即可下载和更新插件。</p>%1"
                                   "<form class=\"card\" id=\"sign-in-form\" method=\"post\" action=\"/account/sign-in\">"
                                   "<input type=\"hidden\" name=\"next\" value=\"%2\">"
                                   "<p><label>账号 <input name=\"account\" type=\"email\" autocomplete=\"username\"></label></p>"
                                   "<p><label>密码 <input name=\"password\" type=\"password\" autocomplete=\"current-password\"></label></p>"
                                   "<p><button type=\"submit\">登录</button></p></form>")
                        .arg(problem, safeNext(next)));
}

QByteArray handoffHtml(const QString &heading, const QString &toolAddress, const QString &next)
{
    // The desktop tool intercepts the address; a browser without the tool just stays here.
    const QString script = QStringLiteral("<script>window.addEventListener('load', function () { location.href = '%1'; });</script>")
                               .arg(toolAddress);
    return document(heading,
                    QStringLiteral("<h1>%1</h1><p class=\"lead\"><a href=\"%2\">返回</a></p>").arg(escaped(heading), safeNext(next)),
                    script);
}

} // namespace SitePages
