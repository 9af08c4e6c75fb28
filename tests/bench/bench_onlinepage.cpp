// The first online page's cost, for scripts/bench-startup --online: the tool's window against the
// stand-in, measured once idle after its first frame, then again once the "服务方案" page has loaded,
// and with --leave once more after going back to "概览" and waiting out the browser's idle delay.
// Prints one line of key=value figures; memory in KiB.
#include "StandinService.h"
#include "app/MainWindow.h"
#include "model/AuthToolModel.h"
#include "ui/ContentView.h"
#include "ui/OnlinePagePanel.h"
#include "ui/Sidebar.h"
#include "ui/SidebarItem.h"
#include "ui/WebView.h"
#include "ui/WebViewLoader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int idleMs = 1500;

qint64 statusKiB(const QString &pid, const QByteArray &field)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(QByteArray(field + ':')))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

qint64 pssKiB(const QString &pid)
{
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

// Proportional memory of the processes below this one: the engine's helpers (zygotes, renderers)
// and, under X11, the pages' host program with its own.
qint64 helperPssKiB()
{
    const QString self = QString::number(QCoreApplication::applicationPid());
    QMap<QString, QString> parentOf;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        parentOf.insert(pid, QString::fromLatin1(text.mid(text.lastIndexOf(')') + 2).split(' ').value(1)));
    }
    qint64 total = 0;
    for (const QString &pid : pids) {
        QString ancestor = parentOf.value(pid);
        while (!ancestor.isEmpty() && ancestor != self && ancestor != QLatin1String("0") && ancestor != QLatin1String("1"))
            ancestor = parentOf.value(ancestor);
        if (ancestor == self)
            total += pssKiB(pid);
    }
    return total;
}

bool webEngineMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngine");
}

void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    WebViewLoader::setLibraryDirectory(QStringLiteral(TOOL_PLUGIN_DIR));
    WebViewLoader::setHostProgram(QStringLiteral(TOOL_EXECUTABLE));
    StandinService standin;
    if (!standin.isRunning()) {
        std::fprintf(stderr, "stand-in did not start: %s\n", qPrintable(standin.errorOutput()));
        return 2;
    }
    AuthToolModel model{ClientAuthAPI(standin.baseUrl())};
    MainWindow window(&model);
    QEventLoop firstFrame;
    QObject::connect(&window, &MainWindow::firstFramePainted, &firstFrame, &QEventLoop::quit);
    window.show();
    firstFrame.exec();
    idle(idleMs);
    const QString self = QStringLiteral("self");
    const qint64 idleRss = statusKiB(self, "VmRSS");
    const qint64 idleHwm = statusKiB(self, "VmHWM");
    const qint64 idlePss = pssKiB(self);
    const bool mappedIdle = webEngineMapped();

    QElapsedTimer clock;
    clock.start();
    window.contentView()->sidebar()->item(AppPage::ServicePlan)->click();
    auto *panel = qobject_cast<OnlinePagePanel *>(window.contentView()->currentPage());
    QWidget *browser = panel && panel->webView() ? panel->webView()->browser() : nullptr;
    if (!browser) {
        std::fprintf(stderr, "no browser: %s\n", qPrintable(WebViewLoader::libraryPath()));
        return 2;
    }
    QEventLoop loaded;
    QObject::connect(browser, SIGNAL(loadFinished(bool)), &loaded, SLOT(quit()));
    QTimer::singleShot(30000, &loaded, &QEventLoop::quit);
    loaded.exec();
    const bool ok = standin.requests().contains(QStringLiteral("GET /pricing"));
    const qint64 loadMs = clock.elapsed();
    idle(idleMs);
    std::printf("loaded=%d load-ms=%lld idle-rss=%lld idle-hwm=%lld page-rss=%lld page-hwm=%lld helpers-pss=%lld "
                "mapped-idle=%d mapped-page=%d in-host=%d idle-pss=%lld page-pss=%lld",
                int(ok), loadMs, idleRss, idleHwm, statusKiB(self, "VmRSS"), statusKiB(self, "VmHWM"), helperPssKiB(),
                int(mappedIdle), int(webEngineMapped()), int(WebViewLoader::pagesRunInHost()), idlePss, pssKiB(self));
    if (app.arguments().contains(QStringLiteral("--leave"))) {
        window.contentView()->sidebar()->item(AppPage::Overview)->click();
        idle(35000); // the browser's idle delay (30 s) and some
        std::printf(" left-pss=%lld left-helpers-pss=%lld", pssKiB(self), helperPssKiB());
    }
    std::printf("\n");
    return ok ? 0 : 1;
}
