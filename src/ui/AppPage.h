#pragma once

#include <QList>
#include <QString>

// The five pages of the sidebar, in sidebar order.
enum class AppPage { Overview, LocalPlugin, ServicePlan, AccountSettings, Guide };

QList<AppPage> allAppPages();
QString appPageTitle(AppPage page);
// The SF Symbols name of the page's sidebar icon (drawn through SymbolGlyphs).
QString appPageSymbol(AppPage page);
