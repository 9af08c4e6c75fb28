#include "AppPage.h"

QList<AppPage> allAppPages()
{
    return {AppPage::Overview, AppPage::LocalPlugin, AppPage::ServicePlan, AppPage::AccountSettings,
            AppPage::Guide};
}

QString appPageTitle(AppPage page)
{
    switch (page) {
    case AppPage::Overview:
        return QStringLiteral("概览");
    case AppPage::LocalPlugin:
        return QStringLiteral("本机插件");
    case AppPage::ServicePlan:
        return QStringLiteral("服务方案");
    case AppPage::AccountSettings:
        return QStringLiteral("账户设置");
    case AppPage::Guide:
        return QStringLiteral("帮助支持");
    }
    return {};
}

QString appPageSymbol(AppPage page)
{
    switch (page) {
    case AppPage::Overview:
        return QStringLiteral("square.grid.2x2");
    case AppPage::LocalPlugin:
        return QStringLiteral("wrench.and.screwdriver");
    case AppPage::ServicePlan:
        return QStringLiteral("cart");
    case AppPage::AccountSettings:
        return QStringLiteral("person.crop.circle");
    case AppPage::Guide:
        return QStringLiteral("questionmark.circle");
    }
    return {};
}
