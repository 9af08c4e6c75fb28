#pragma once

#include <QString>

class WebViewFactory;

// Loads the browser library on first use. Until then the tool maps no web engine code: linking it
// would cost every start the engine's libraries and their relocation.
namespace WebViewLoader {

// The factory of the loaded library, loading it on the first call; null when it cannot be loaded.
WebViewFactory *factory();
bool isLoaded();
// The library where ToolFiles puts plug-ins: plugins/ beside the program (the Mac: Contents/PlugIns).
QString libraryPath();
// For programs that run outside the bundle (test suites): the directory that holds the library.
void setLibraryDirectory(const QString &directory);

// A browser view was made or went. Once none has been left for the idle delay the factory lets go
// of what the views shared and the process hands freed memory back: the tool lives in the tray all
// day, the online pages are visited now and then.
void browserCreated();
void browserDestroyed();
int idleReleaseDelayMs();
void setIdleReleaseDelayMs(int delay);

} // namespace WebViewLoader
