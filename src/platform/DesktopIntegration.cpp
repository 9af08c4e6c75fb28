#include "DesktopIntegration.h"

#include <QFileInfo>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace DesktopIntegration {

namespace {

// Activation (the Dock icon) and file-open events reach the application object.
class ReopenFilter : public QObject
{
public:
    ReopenFilter(QObject *owner, std::function<void()> reopen)
        : QObject(owner), m_reopen(std::move(reopen))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == QCoreApplication::instance()
            && (event->type() == QEvent::ApplicationActivate || event->type() == QEvent::FileOpen))
            m_reopen();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_reopen;
};

} // namespace

bool systemKeepsSingleInstance()
{
#ifdef Q_OS_MACOS
    return true;
#else
    return false;
#endif
}

bool hasApplicationMenu()
{
#ifdef Q_OS_MACOS
    return true;
#else
    return false;
#endif
}

QStringList preferredFontFamilies()
{
#ifdef Q_OS_MACOS
    return {};
#else
    // One face for Latin and Chinese, so mixed lines keep one weight and height.
    return {QStringLiteral("Noto Sans CJK SC")};
#endif
}

void onReopenRequest(QObject *owner, std::function<void()> reopen)
{
#ifdef Q_OS_MACOS
    QCoreApplication::instance()->installEventFilter(new ReopenFilter(owner, std::move(reopen)));
#else
    Q_UNUSED(owner)
    Q_UNUSED(reopen)
#endif
}

bool mayHaveNetworkBackend()
{
#ifdef Q_OS_LINUX
    return QFileInfo::exists(QStringLiteral("/run/NetworkManager"));
#else
    return true;
#endif
}

} // namespace DesktopIntegration
