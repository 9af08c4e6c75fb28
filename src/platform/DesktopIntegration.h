#pragma once

#include <QStringList>

#include <functional>

class QObject;

// What differs between the desktops the window runs on.
namespace DesktopIntegration {

// macOS keeps one copy of an application itself; elsewhere the tool hands over to a running copy.
bool systemKeepsSingleInstance();
// macOS keeps an application menu in the menu bar; elsewhere the tray menu is the tool's menu.
bool hasApplicationMenu();
// Whether the platform's own network-information backend can answer: always on macOS; on Linux only
// while NetworkManager runs (its /run folder exists). Loading the backends without it costs GIO and
// D-Bus for nothing.
bool mayHaveNetworkBackend();
// Font families for the window's text, ahead of the system font.
QStringList preferredFontFamilies();
// Calls reopen when the desktop asks the running tool to show itself again (a Dock click, opened
// files or URLs on macOS). The handler lives as long as owner.
void onReopenRequest(QObject *owner, std::function<void()> reopen);

} // namespace DesktopIntegration
