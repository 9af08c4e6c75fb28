#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The vendor's web pages as the stand-in serves them: the site's own header, main and footer
// inside the body's layout div, so the tool's hiding script finds what it looks for.
namespace SitePages {

QStringList paths();
// The page's HTML; empty for a path that is not one of the site's pages.
QByteArray html(const QString &path);

} // namespace SitePages
