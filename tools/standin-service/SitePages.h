#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The vendor's web pages as the stand-in serves them: the site's own header, main and footer
// inside the body's layout div, so the tool's hiding script finds what it looks for.
namespace SitePages {

QStringList paths();
// The page's HTML; empty for a path that is not one of the site's pages. account is the signed-in
// account, empty when nobody is signed in.
QByteArray html(const QString &path, const QString &account = {});
// The account sign-in form, which returns to next; error is shown above the form.
QByteArray signInHtml(const QString &next, const QString &error = {});
// A page that hands an address of the desktop tool's scheme to the tool, with a link back to next.
QByteArray handoffHtml(const QString &heading, const QString &toolAddress, const QString &next);

} // namespace SitePages
