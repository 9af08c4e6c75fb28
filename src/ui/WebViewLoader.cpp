#include "WebViewLoader.h"

#include "core/ToolPaths.h"
#include "platform/ProcessMemory.h"
#include "platform/ToolFiles.h"
#include "plugin/SignInSession.h"
#include "ui/RemoteWebViewFactory.h"
#include "ui/WebViewBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QPluginLoader>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

// Exported by QtGui without a public header.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);
Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();

Q_LOGGING_CATEGORY(lcWebViewLoader, "corvanta.webview.loader")

namespace {

QString &libraryDirectoryOverride()
{
    static QString directory;
    return directory;
}

// A CMake module: ".so" on macOS as well, which the plugin loader accepts there.
const QString libraryFileName = QStringLiteral("libcorvanta_webview.so");

// The pages are drawn in software (the library sets Qt Quick's software renderer): the tool's own
// window stays a plain raster window, so the first online page neither re-creates it (a flicker that
// also drops keyboard focus without a window manager) nor loads the OpenGL stack, which under X11
// with Mesa's software renderer holds some 70 MiB for the rest of the process's life.
// Qt WebEngine still reads the format of Qt's global shared OpenGL context, and warns unless
// Qt::AA_ShareOpenGLContexts is set; both are done here, late (Qt warns about that once), with a
// context that is never created, so no OpenGL library is opened.
void prepareSoftwareDrawing()
{
    if (qt_gl_global_share_context())
        return;
    // The engine probes the X11 OpenGL integration at its start even when it will not use it.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qt_gl_set_global_share_context(new QOpenGLContext(qApp));
}

#ifdef Q_OS_LINUX
QByteArray withFlag(const QByteArray &flags, const QByteArray &flag)
{
    return flags.split(' ').contains(flag) ? flags : QByteArray(flags + ' ' + flag).trimmed();
}

// Before the engine starts. The engine keeps the pages' content from AT-SPI unless asked: a screen
// reader would find an empty document. And without a second zygote for helpers that need no sandbox
// (the network service and the drawing run inside the tool here), one process fewer stays for the
// tool's life. Without the sandbox the zygote itself only saves each renderer an exec, and it
// stays for the tool's life with the engine's start-up memory: renderers then start on their own,
// and none is left once the last page has gone.
void prepareEngineEnvironment()
{
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
    QByteArray flags = withFlag(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), "--no-unsandboxed-zygote");
    if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") || flags.split(' ').contains("--no-sandbox"))
        flags = withFlag(flags, "--no-zygote");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}
#endif

QString siteDataDirectory()
{
    return ToolPaths::supportDir() + QStringLiteral("/WebView");
}

// The engine's files of what signing out forgets: the cookie database (at the profile's top or, in
// later engines, under Network/) and the visited links. Only while no engine has the profile open.
void removeSiteDataFiles()
{
    const QStringList names{QStringLiteral("Cookies"), QStringLiteral("Cookies-journal"), QStringLiteral("Visited Links")};
    for (const QString &folder : {siteDataDirectory(), QString(siteDataDirectory() + QStringLiteral("/Network"))}) {
        for (const QString &name : names) {
            const QString path = folder + QLatin1Char('/') + name;
            if (QFileInfo::exists(path) && !QFile::remove(path))
                qCWarning(lcWebViewLoader) << "cannot remove" << path;
        }
    }
}

WebViewFactory *load()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return nullptr;
    const QString path = WebViewLoader::libraryPath();
    if (!QFileInfo::exists(path)) {
        qCWarning(lcWebViewLoader) << "no web view library at" << path;
        return nullptr;
    }
    prepareSoftwareDrawing();
#ifdef Q_OS_LINUX
    prepareEngineEnvironment();
#endif
    // Owned for the process's life: the engine cannot be unloaded once started.
    auto *loader = new QPluginLoader(path, qApp);
    QObject *instance = loader->instance();
    auto *factory = qobject_cast<WebViewFactory *>(instance);
    if (!factory) {
        qCWarning(lcWebViewLoader) << "cannot load the web view library:" << loader->errorString();
        return nullptr;
    }
    factory->configure({siteDataDirectory(), SignInSession::handoffScheme});
    return factory;
}

QString &hostProgramOverride()
{
    static QString program;
    return program;
}

bool attempted = false;
WebViewFactory *loadedFactory = nullptr;
bool pagesInHost = false;
bool hostAllowed = true;
int liveBrowsers = 0;
int idleDelayMs = 30000;

void releaseIdle()
{
    if (liveBrowsers > 0 || !loadedFactory)
        return;
    loadedFactory->releaseIdle();
    if (pagesInHost)
        return;
    // On the pool: reading the process's map of an engine's thousands of mappings is no work for the
    // thread that paints.
    QThreadPool::globalInstance()->start([] {
        ProcessMemory::returnFreedHeap();
        // The engine cannot be unloaded; the code its pages ran can at least leave the process's
        // memory until the next online page.
        ProcessMemory::releaseLibraryPages({QStringLiteral("libQt6WebEngineCore"), QStringLiteral("libQt6Quick"),
                                            QStringLiteral("libQt6Qml")});
    });
}

QTimer *idleTimer()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(qApp);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, qApp, &releaseIdle);
    }
    return timer;
}

} // namespace

namespace WebViewLoader {

WebViewFactory *factory()
{
    if (!attempted) {
        attempted = true;
        pagesInHost = hostAllowed && RemoteWebViewFactory::suitsThisSession() && QFileInfo::exists(hostProgram())
            && QFileInfo::exists(libraryPath());
        loadedFactory = pagesInHost ? new RemoteWebViewFactory(qApp) : load();
    }
    return loadedFactory;
}

WebViewFactory *libraryFactory()
{
    if (!attempted) {
        attempted = true;
        loadedFactory = load();
    }
    return pagesInHost ? nullptr : loadedFactory;
}

bool pagesRunInHost()
{
    return pagesInHost;
}

void clearSiteData()
{
    const bool engineHasProfile = pagesInHost ? static_cast<RemoteWebViewFactory *>(loadedFactory)->isHostRunning()
                                              : loadedFactory != nullptr;
    if (engineHasProfile)
        loadedFactory->clearSiteData();
    else
        removeSiteDataFiles();
}

QString hostProgram()
{
    return hostProgramOverride().isEmpty() ? QCoreApplication::applicationFilePath() : hostProgramOverride();
}

void setHostProgram(const QString &program)
{
    hostProgramOverride() = program;
}

void keepPagesInThisProcess()
{
    hostAllowed = false;
}

bool isLoaded()
{
    return loadedFactory != nullptr;
}

QString libraryPath()
{
    const QString directory = libraryDirectoryOverride().isEmpty()
        ? ToolFiles::pluginDir()
        : libraryDirectoryOverride();
    return QDir::cleanPath(directory + QLatin1Char('/') + libraryFileName);
}

void setLibraryDirectory(const QString &directory)
{
    libraryDirectoryOverride() = directory;
}

void browserCreated()
{
    ++liveBrowsers;
    idleTimer()->stop();
}

void browserDestroyed()
{
    if (--liveBrowsers == 0)
        idleTimer()->start(idleDelayMs);
}

int idleReleaseDelayMs()
{
    return idleDelayMs;
}

void setIdleReleaseDelayMs(int delay)
{
    idleDelayMs = delay;
}

} // namespace WebViewLoader
