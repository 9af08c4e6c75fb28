#pragma once

#include <QObject>

#include <memory>

class AuthToolModel;
class ConnectivityMonitor;
class MainWindow;
class QMenu;
class QMenuBar;
class QSystemTrayIcon;

// Owns the one model and the one main window for the life of the process.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    // Creates the window on the first call; on every call brings it to the front.
    void showMainWindow();
    // Starts the model's start-up work once per process, once the window's first frame is painted.
    void bootstrapModelIfNeeded();
    // Offers show and quit from the desktop's tray, where it has one (no Dock here).
    void installTrayIcon();
    // Opens the activity log with the desktop's default handler, creating the file when the tool
    // has written nothing yet.
    void showActivityLog();
    // The tray's menu (built with the icon, none before).
    QMenu *trayMenu() const;

    AuthToolModel *model() const { return m_model.get(); }
    MainWindow *mainWindow() const { return m_mainWindow.get(); }
    bool hasBootstrapped() const { return m_hasBootstrapped; }

private:
    void finishStartUp();
    // Connectivity, the installed version and the first release query.
    void startModel();
    void installApplicationMenu();

    // Started with the model's start-up work, after the first frame: loading the platform's network
    // backend would delay it.
    std::unique_ptr<ConnectivityMonitor> m_connectivity;
    std::unique_ptr<AuthToolModel> m_model;
    std::unique_ptr<MainWindow> m_mainWindow;

    QSystemTrayIcon *m_trayIcon = nullptr;
    std::unique_ptr<QMenuBar> m_menuBar;
    bool m_hasBootstrapped = false;
    bool m_startUpFinished = false;
    bool m_wantsTrayIcon = false;
};
