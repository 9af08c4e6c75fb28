// The baseline of the start-up benchmark: a bare Qt Widgets window of the tool's size that draws
// the same fonts as the tool's first page (its CJK face in each size and weight used there, and the
// symbol font) and marks its steps the way the tool does.
#include <QApplication>
#include <QLoggingCategory>
#include <QPainter>
#include <QWidget>

#include <chrono>

Q_LOGGING_CATEGORY(lcStartup, "corvanta.startup", QtWarningMsg)

static void mark(const char *step)
{
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    qCInfo(lcStartup, "%s at %lld", step, static_cast<long long>(now.count()));
}

class BareWindow : public QWidget
{
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        // The text faces, pixel sizes and weights of the tool's first page (sidebar and overview).
        static const struct { int pixels; QFont::Weight weight; } faces[] = {
            {11, QFont::Normal}, {12, QFont::Normal}, {13, QFont::Normal}, {11, QFont::Medium},
            {12, QFont::Medium}, {11, QFont::DemiBold}, {13, QFont::DemiBold}, {14, QFont::Bold},
            {15, QFont::Bold}, {22, QFont::Bold}};
        int y = 40;
        for (const auto &face : faces) {
            QFont text = font();
            text.setFamilies({QStringLiteral("Noto Sans CJK SC"), text.family()});
            text.setPixelSize(face.pixels);
            text.setWeight(face.weight);
            painter.setFont(text);
            painter.drawText(QPoint(40, y), QStringLiteral("Corvanta 管理工具 · 插件概览"));
            y += 32;
        }
        for (int pixels : {17, 20}) {
            QFont icons(QStringLiteral("Material Icons"));
            icons.setPixelSize(pixels);
            painter.setFont(icons);
            painter.drawText(QPoint(40, y), QStringLiteral("wifi"));
            y += 32;
        }
        if (m_reported)
            return;
        m_reported = true;
        QMetaObject::invokeMethod(this, [] { mark("first frame painted"); }, Qt::QueuedConnection);
    }

private:
    bool m_reported = false;
};

int main(int argc, char *argv[])
{
    mark("main");
    QApplication app(argc, argv);
    mark("application");
    BareWindow window;
    window.resize(1160, 760);
    window.show();
    mark("window");
    return app.exec();
}
