// The baseline of the start-up benchmark: a bare Qt Widgets window of the tool's size that draws
// the same fonts (CJK text and a symbol glyph) and reports its first frame the way the tool does.
#include <QApplication>
#include <QLoggingCategory>
#include <QPainter>
#include <QWidget>

Q_LOGGING_CATEGORY(lcStartup, "corvanta.startup", QtWarningMsg)

class BareWindow : public QWidget
{
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        QFont text = font();
        text.setFamilies({QStringLiteral("PingFang SC"), QStringLiteral("Noto Sans CJK SC"), text.family()});
        text.setPixelSize(22);
        painter.setFont(text);
        painter.drawText(QPoint(40, 60), QStringLiteral("Corvanta 管理工具 · 插件概览"));
        QFont icons(QStringLiteral("Material Icons"));
        icons.setPixelSize(24);
        painter.setFont(icons);
        painter.drawText(QPoint(40, 120), QStringLiteral("wifi"));
        if (m_reported)
            return;
        m_reported = true;
        QMetaObject::invokeMethod(this, [] { qCInfo(lcStartup, "first frame painted"); }, Qt::QueuedConnection);
    }

private:
    bool m_reported = false;
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    BareWindow window;
    window.resize(1160, 760);
    window.show();
    return app.exec();
}
