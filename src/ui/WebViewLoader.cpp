#include "WebViewLoader.h"

#include "core/ToolPaths.h"
#include "plugin/SignInSession.h"
#include "ui/WebViewBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QPluginLoader>
#include <QPointer>
#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

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

// Qt WebEngine draws through a context shared with the one the application would have created at
// start had Qt::AA_ShareOpenGLContexts been set then. Setting it then costs every start the OpenGL
// stack (Mesa's software renderer under X11); so the attribute is set now, late (Qt warns, as
// expected), and the shared context is made by hand before the library, and with it the engine,
// loads. Without it the first view fails with "OpenGL context creation failed".
void prepareSharedOpenGLContext()
{
    if (qt_gl_global_share_context())
        return;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    auto *context = new QOpenGLContext(qApp);
    // On a platform without OpenGL (offscreen) the context stays uncreated; the engine then draws in
    // software, but it must still find one, or it crashes.
    if (!context->create())
        qCDebug(lcWebViewLoader) << "no OpenGL on this platform; the web view draws in software";
    qt_gl_set_global_share_context(context);
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
    prepareSharedOpenGLContext();
#ifdef Q_OS_LINUX
    // On Linux the engine keeps the pages' content from AT-SPI unless asked, before it starts; a
    // screen reader would find an empty document.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
#endif
    // Owned for the process's life: the engine cannot be unloaded once started.
    auto *loader = new QPluginLoader(path, qApp);
    QObject *instance = loader->instance();
    auto *factory = qobject_cast<WebViewFactory *>(instance);
    if (!factory) {
        qCWarning(lcWebViewLoader) << "cannot load the web view library:" << loader->errorString();
        return nullptr;
    }
    factory->configure({ToolPaths::supportDir() + QStringLiteral("/WebView"), SignInSession::handoffScheme});
    return factory;
}

bool attempted = false;
WebViewFactory *loadedFactory = nullptr;
int liveBrowsers = 0;
int idleDelayMs = 30000;

void releaseIdle()
{
    if (liveBrowsers > 0 || !loadedFactory)
        return;
    loadedFactory->releaseIdle();
#ifdef __GLIBC__
    // The engine's freed heap stays with the process unless handed back.
    malloc_trim(0);
#endif
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
        loadedFactory = load();
    }
    return loadedFactory;
}

bool isLoaded()
{
    return loadedFactory != nullptr;
}

QString libraryPath()
{
    const QString directory = libraryDirectoryOverride().isEmpty()
        ? QCoreApplication::applicationDirPath() + QStringLiteral("/../PlugIns")
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
