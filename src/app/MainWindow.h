#pragma once

#include <QTimer>
#include <QVariantMap>
#include <QWidget>

class AuthToolModel;
class ContentView;

// The single main window around the content view. It is hidden, not destroyed, when closed, and
// remembers its frame across launches.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize contentSize{1160, 760};
    static constexpr QSize minimumContentSize{980, 660};
    static inline const QString frameSettingsKey = QStringLiteral("CorvantaManagementToolMainWindow");

    explicit MainWindow(AuthToolModel *model, QWidget *parent = nullptr);
    ~MainWindow() override;

    // "CFBundleName" of the information dictionary when it is text (even empty), else the tool's name.
    static QString titleFor(const QVariantMap &infoDictionary);

    ContentView *contentView() const { return m_contentView; }

Q_SIGNALS:
    // Once, after the window's first frame: start-up work the user does not see waits for it.
    void firstFramePainted();
    void quitRequested();

protected:
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void placeOnScreen();
    void saveFrameSoon();
    void saveFrame();

    ContentView *m_contentView = nullptr;
    // A drag moves the frame many times a second and each save writes the settings file: the
    // frame is saved once it has rested, and at once when the window closes or goes.
    QTimer m_frameSaveDelay;
    bool m_framePlaced = false;
    bool m_firstFrameReported = false;
};
