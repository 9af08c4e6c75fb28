#include "MainWindow.h"

#include "app/StartupTrace.h"
#include "core/AppConstants.h"
#include "platform/AppBundle.h"
#include "ui/Accessibility.h"
#include "ui/ContentView.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWindow>

#include <memory>

namespace {

// Per user, beside the tool's other state; on macOS the bundle's own preferences domain.
std::unique_ptr<QSettings> frameSettings()
{
    return std::make_unique<QSettings>(QSettings::UserScope, QStringLiteral("Corvanta"), authToolBundleId);
}

} // namespace

MainWindow::MainWindow(AuthToolModel *model, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    // A frame named by its title, as assistive technology expects a main window, not a filler.
    Accessibility::setRole(this, QAccessible::Window);
    setWindowTitle(titleFor(AppBundle::main().infoDictionary()));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_contentView = new ContentView(model, this);
    layout->addWidget(m_contentView);
    setMinimumSize(minimumContentSize);

    auto *quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quit->setContext(Qt::WindowShortcut);
    connect(quit, &QShortcut::activated, this, &MainWindow::quitRequested);

    m_frameSaveDelay.setSingleShot(true);
    m_frameSaveDelay.setInterval(500);
    connect(&m_frameSaveDelay, &QTimer::timeout, this, &MainWindow::saveFrame);
    placeOnScreen();
}

MainWindow::~MainWindow()
{
    if (m_frameSaveDelay.isActive())
        saveFrame();
}

QString MainWindow::titleFor(const QVariantMap &infoDictionary)
{
    const QVariant name = infoDictionary.value(QStringLiteral("CFBundleName"));
    return name.typeId() == QMetaType::QString ? name.toString() : managementToolName;
}

void MainWindow::placeOnScreen()
{
    resize(contentSize);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        // Centre the frame, title bar included; the window system knows its margins once created.
        create();
        const QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        QRect frame(QPoint(), contentSize.grownBy(margins));
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    // A frame saved by an earlier run replaces the centred one.
    const QByteArray saved = frameSettings()->value(frameSettingsKey).toByteArray();
    if (!saved.isEmpty())
        restoreGeometry(saved);
    m_framePlaced = true;
}

void MainWindow::saveFrameSoon()
{
    if (isVisible())
        m_frameSaveDelay.start();
}

void MainWindow::saveFrame()
{
    m_frameSaveDelay.stop();
    if (m_framePlaced)
        frameSettings()->setValue(frameSettingsKey, saveGeometry());
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    saveFrameSoon();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    saveFrameSoon();
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (m_firstFrameReported)
        return;
    m_firstFrameReported = true;
    // Queued, so it follows the children's painting and the flush of this frame.
    QMetaObject::invokeMethod(
        this,
        [this] {
            StartupTrace::mark("first frame painted");
            Q_EMIT firstFramePainted();
        },
        Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveFrame();
    event->accept();
}
