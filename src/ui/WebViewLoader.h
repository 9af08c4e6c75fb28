#pragma once

#include <QString>

class WebViewFactory;

// Loads the browser library on first use. Until then the tool maps no web engine code: linking it
// would cost every start the engine's libraries and their relocation.
namespace WebViewLoader {

// The factory of the views, made on the first call: under X11 the pages' host program's (see
// RemoteWebViewFactory), otherwise the loaded library's; null when the library cannot be loaded.
WebViewFactory *factory();
// The loaded library's own factory, in this process (the pages' host program uses it).
WebViewFactory *libraryFactory();
bool pagesRunInHost();
// Forgets the site's cookies and visited links (signing out): through the engine that has them open,
// else in its files.
void clearSiteData();
bool isLoaded();
// The library where ToolFiles puts plug-ins: plugins/ beside the program (the Mac: Contents/PlugIns).
QString libraryPath();
// For programs that run outside the bundle (test suites): the directory that holds the library.
void setLibraryDirectory(const QString &directory);
// The program started as the pages' host: the running one, unless a suite or benchmark names the tool.
QString hostProgram();
void setHostProgram(const QString &program);
// For suites that drive the engine in their own process, under X11 too.
void keepPagesInThisProcess();

// A browser view was made or went. Once none has been left for the idle delay the factory lets go
// of what the views shared and the process hands freed memory back: the tool lives in the tray all
// day, the online pages are visited now and then.
void browserCreated();
void browserDestroyed();
int idleReleaseDelayMs();
void setIdleReleaseDelayMs(int delay);

} // namespace WebViewLoader
