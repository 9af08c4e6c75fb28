#include "AppDelegate.h"

#include "app/AppIcon.h"
#include "app/MainWindow.h"
#include "core/ActivityLog.h"
#include "core/ToolPaths.h"
#include "model/AuthToolModel.h"
#include "model/ConnectivityMonitor.h"
#include "service/ClientAuthAPI.h"
#include "platform/DesktopIntegration.h"
#include "ui/MessageBoxPrompt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>
#include <QSystemTrayIcon>

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
    , m_connectivity(std::make_unique<ConnectivityMonitor>())
    , m_model(std::make_unique<AuthToolModel>(ClientAuthAPI(), m_connectivity.get()))
{
    // Closing the window leaves the tool running; quitting is explicit (tray menu, Ctrl+Q, Dock).
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Reopening, or a request to open files or URLs, only brings the window back.
    DesktopIntegration::onReopenRequest(this, [this] {
        showMainWindow();
        bootstrapModelIfNeeded();
    });
    if (DesktopIntegration::hasApplicationMenu())
        installApplicationMenu();
}

AppDelegate::~AppDelegate()
{
    // The window's views refer to the model: they go first.
    m_mainWindow.reset();
}

void AppDelegate::showMainWindow()
{
    if (!m_mainWindow) {
        m_mainWindow = std::make_unique<MainWindow>(m_model.get());
        connect(m_mainWindow.get(), &MainWindow::quitRequested, qApp, &QCoreApplication::quit,
                Qt::QueuedConnection);
        connect(m_mainWindow.get(), &MainWindow::firstFramePainted, this, &AppDelegate::finishStartUp);
        // The uninstall's question appears over the window.
        m_model->setConfirmationPrompt(std::make_shared<MessageBoxPrompt>(m_mainWindow.get()));
    }
    m_mainWindow->show();
    m_mainWindow->setWindowState(m_mainWindow->windowState() & ~Qt::WindowMinimized);
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

void AppDelegate::bootstrapModelIfNeeded()
{
    if (m_hasBootstrapped)
        return;
    // Set first, so a call made while the start-up work runs does nothing.
    m_hasBootstrapped = true;
    if (m_startUpFinished || !m_mainWindow)
        startModel();
}

// The icon (image plugins), the tray, the connectivity backend and the first network request all
// cost time and memory that the first frame does not need: they follow it.
void AppDelegate::finishStartUp()
{
    if (m_startUpFinished)
        return;
    m_startUpFinished = true;
    if (const QIcon icon = AppIcon::icon(); !icon.isNull())
        QGuiApplication::setWindowIcon(icon);
    if (m_wantsTrayIcon)
        installTrayIcon();
    if (m_hasBootstrapped)
        startModel();
}

void AppDelegate::startModel()
{
    if (!m_connectivity->isStarted())
        m_connectivity->start();
    m_model->bootstrap();
}

void AppDelegate::installTrayIcon()
{
    m_wantsTrayIcon = true;
    if (!m_startUpFinished && m_mainWindow)
        return;
    if (m_trayIcon || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_trayIcon = new QSystemTrayIcon(QGuiApplication::windowIcon(), this);
    auto *menu = new QMenu;
    connect(m_trayIcon, &QObject::destroyed, menu, &QObject::deleteLater);
    connect(menu->addAction(QStringLiteral("显示窗口")), &QAction::triggered, this, [this] {
        showMainWindow();
        bootstrapModelIfNeeded();
    });
    connect(menu->addAction(QStringLiteral("显示活动日志")), &QAction::triggered, this, &AppDelegate::showActivityLog);
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("退出")), &QAction::triggered, qApp, &QCoreApplication::quit);
    m_trayIcon->setContextMenu(menu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            showMainWindow();
    });
    m_trayIcon->show();
}

QMenu *AppDelegate::trayMenu() const
{
    return m_trayIcon ? m_trayIcon->contextMenu() : nullptr;
}

void AppDelegate::installApplicationMenu()
{
    // A menu bar without a parent is the application's own; the role moves the item into the
    // application menu beside the tool's name.
    m_menuBar = std::make_unique<QMenuBar>();
    QMenu *menu = m_menuBar->addMenu(QStringLiteral("帮助"));
    QAction *showLog = menu->addAction(QStringLiteral("显示活动日志"));
    showLog->setMenuRole(QAction::ApplicationSpecificRole);
    connect(showLog, &QAction::triggered, this, &AppDelegate::showActivityLog);
}

void AppDelegate::showActivityLog()
{
    const QString path = ToolPaths::logFile();
    if (!QFileInfo::exists(path))
        ActivityLog::create();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        m_model->showOperation(QStringLiteral("无法打开活动日志，文件位于 ") + path + QStringLiteral("。"),
                               OperationTone::Warning);
}
