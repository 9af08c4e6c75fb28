#include "DesktopPalettes.h"
#include "core/OperationTone.h"
#include "ui/AppPage.h"
#include "ui/InlineButton.h"
#include "ui/OperationBanner.h"
#include "ui/PopupMenu.h"
#include "ui/ProductMark.h"
#include "ui/SymbolGlyphs.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTextLayout>
#include <QVBoxLayout>

namespace {

// The button drawn alone on white, as a picture of what the user sees.
QImage renderOnWhite(InlineButton &button)
{
    QImage image(button.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    button.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// A point inside the rounded frame, away from the label.
QColor fillPixel(const QImage &image)
{
    return image.pixelColor(4, image.height() / 2);
}

QColor blendOnWhite(const QColor &color, qreal opacity)
{
    const auto channel = [opacity](float c) { return qRound((c * opacity + 1.0 * (1 - opacity)) * 255); };
    return QColor(channel(color.redF()), channel(color.greenF()), channel(color.blueF()));
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) <= 3 && qAbs(a.green() - b.green()) <= 3 && qAbs(a.blue() - b.blue()) <= 3;
}

// Number of glyphs the icon font shapes the text into: 1 for a known ligature.
int shapedGlyphCount(const QString &text)
{
    QTextLayout layout(text, SymbolGlyphs::font(17));
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int glyphs = 0;
    for (const QGlyphRun &run : layout.glyphRuns())
        glyphs += int(run.glyphIndexes().size());
    return glyphs;
}

} // namespace

class tst_Components : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QApplication::setPalette(DesktopPalettes::light()); }
    void inertButtonIgnoresClicks_data();
    void inertButtonIgnoresClicks();
    void buttonColours_data();
    void buttonColours();
    void buttonWidth_data();
    void buttonWidth();
    void bannerToneSymbols_data();
    void bannerToneSymbols();
    void longMessageWraps();
    void menuStaysInsideWindow();
    void markIsDrawnInEverySize();
    void everySymbolIsOneGlyph();
    void standardWidgetsUseTheToolsFace();
};

void tst_Components::inertButtonIgnoresClicks_data()
{
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("disabled");
    QTest::addColumn<QString>("label");
    QTest::addColumn<qreal>("opacity");
    QTest::addColumn<int>("clicks");
    // Busy after the keyboard started it, the button keeps the focus (and a screen reader's place).
    QTest::addColumn<bool>("keepsFocus");
    QTest::newRow("idle") << false << false << QStringLiteral("安装") << 1.0 << 1 << true;
    QTest::newRow("busy") << true << false << QStringLiteral("处理中") << 0.55 << 0 << true;
    QTest::newRow("disabled") << false << true << QStringLiteral("安装") << 0.55 << 0 << false;
    QTest::newRow("busy and disabled") << true << true << QStringLiteral("处理中") << 0.55 << 0 << false;
}

void tst_Components::inertButtonIgnoresClicks()
{
    QFETCH(bool, busy);
    QFETCH(bool, disabled);
    QFETCH(QString, label);
    QFETCH(qreal, opacity);
    QFETCH(int, clicks);
    QFETCH(bool, keepsFocus);
    QWidget window;
    auto *row = new QVBoxLayout(&window);
    auto &button = *new InlineButton(QStringLiteral("安装"), &window);
    row->addWidget(&button);
    row->addWidget(new InlineButton(QStringLiteral("更多"), &window));
    button.setProminent(true);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    button.setFocus(Qt::TabFocusReason);
    button.setBusy(busy);
    button.setDisabled(disabled);
    QCOMPARE(window.focusWidget() == &button, keepsFocus);
    QSignalSpy clicked(&button, &InlineButton::clicked);

    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::keyClick(&button, Qt::Key_Space);

    QCOMPARE(clicked.count(), 2 * clicks);
    QCOMPARE(button.labelText(), label);
    QCOMPARE(button.opacity(), opacity);
    QVERIFY(near(fillPixel(renderOnWhite(button)), blendOnWhite(UiPalette::brandColor(), opacity)));
    // Idle again, it reads its title and answers clicks.
    button.setBusy(false);
    button.setDisabled(false);
    QCOMPARE(button.labelText(), QStringLiteral("安装"));
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 2 * clicks + 1);
}

void tst_Components::buttonColours_data()
{
    QTest::addColumn<bool>("prominent");
    QTest::addColumn<InlineButton::Role>("role");
    QTest::addColumn<QColor>("fill");
    const QColor red = UiPalette::red();
    QTest::newRow("prominent") << true << InlineButton::Role::None << UiPalette::brandColor();
    QTest::newRow("prominent wins over destructive") << true << InlineButton::Role::Destructive
                                                     << UiPalette::brandColor();
    QTest::newRow("destructive") << false << InlineButton::Role::Destructive << blendOnWhite(red, 0.08);
    QTest::newRow("plain") << false << InlineButton::Role::None
                           << UiPalette::windowBackgroundColor(DesktopPalettes::light());
}

void tst_Components::buttonColours()
{
    QFETCH(bool, prominent);
    QFETCH(InlineButton::Role, role);
    QFETCH(QColor, fill);
    InlineButton button(QStringLiteral("卸载插件"));
    button.setProminent(prominent);
    button.setRole(role);
    button.resize(button.sizeHint());
    const QImage image = renderOnWhite(button);
    QVERIFY2(near(fillPixel(image), fill), qPrintable(fillPixel(image).name() + QLatin1String(" vs ") + fill.name()));
}

void tst_Components::buttonWidth_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("busy");
    // The label is at least 76 wide before its padding of 10 on each side.
    const QFontMetrics metrics(UiFont::system(12, QFont::DemiBold));
    const QString longTitle = QStringLiteral("更新到 12.34.56 并重新载入全部加载项");
    QTest::addColumn<int>("width");
    QTest::newRow("short title") << QStringLiteral("安装") << false << 76 + 20;
    QTest::newRow("busy, short") << QStringLiteral("安装") << true << 76 + 20;
    QTest::newRow("long title") << longTitle << false << metrics.horizontalAdvance(longTitle) + 20;
}

void tst_Components::buttonWidth()
{
    QFETCH(QString, title);
    QFETCH(bool, busy);
    QFETCH(int, width);
    InlineButton button(title);
    button.setBusy(busy);
    QCOMPARE(button.sizeHint().width(), width);
}

void tst_Components::bannerToneSymbols_data()
{
    QTest::addColumn<OperationTone>("tone");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QColor>("color");
    QTest::newRow("info") << OperationTone::Info << QStringLiteral("info.circle") << UiPalette::brandColor();
    QTest::newRow("success") << OperationTone::Success << QStringLiteral("checkmark.circle") << UiPalette::green();
    QTest::newRow("warning") << OperationTone::Warning << QStringLiteral("exclamationmark.triangle")
                             << UiPalette::orange();
    QTest::newRow("error") << OperationTone::Error << QStringLiteral("exclamationmark.triangle") << UiPalette::red();
}

void tst_Components::bannerToneSymbols()
{
    QFETCH(OperationTone, tone);
    QFETCH(QString, symbol);
    QFETCH(QColor, color);
    QCOMPARE(OperationBanner::symbolName(tone), symbol);
    QCOMPARE(UiPalette::toneColor(tone), color);
    QVERIFY(!SymbolGlyphs::ligature(symbol).isEmpty());
}

void tst_Components::longMessageWraps()
{
    QWidget page;
    auto *stack = new QVBoxLayout(&page);
    auto *shortBanner = new OperationBanner(&page);
    shortBanner->setMessage(QStringLiteral("已是最新版本。"), OperationTone::Success);
    auto *longBanner = new OperationBanner(&page);
    longBanner->setMessage(QStringLiteral("安装失败：安装脚本退出码 1。请确认 WPS Office 已完全退出、磁盘空间充足，"
                                          "然后重新点击「安装 / 修复」；若仍失败，请查看活动日志。"),
                           OperationTone::Error);
    stack->addWidget(shortBanner);
    stack->addWidget(longBanner);
    stack->addStretch(1);
    page.resize(420, 600);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    // The whole message gets room: several lines, each as tall as the short banner's one.
    QCOMPARE(longBanner->height(), longBanner->heightForWidth(longBanner->width()));
    QVERIFY(longBanner->height() > 2 * shortBanner->height() - 20);
}

void tst_Components::everySymbolIsOneGlyph()
{
    for (AppPage page : allAppPages())
        QVERIFY2(SymbolGlyphs::table().contains(appPageSymbol(page)), qPrintable(appPageSymbol(page)));
    // A name the font does not know would be drawn as its letters, one glyph each.
    QVERIFY(shapedGlyphCount(QStringLiteral("no_such_icon_name")) > 1);
    const auto &table = SymbolGlyphs::table();
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        QVERIFY2(shapedGlyphCount(it.value()) == 1, qPrintable(it.key() + QLatin1String(" -> ") + it.value()));
}

// Standard widgets and dialogs draw Chinese in the tool's face, not in a fallback the platform
// picks, and the platform's family stays behind it once.
void tst_Components::standardWidgetsUseTheToolsFace()
{
    const QFont before = QApplication::font();
    const auto restore = qScopeGuard([before] { QApplication::setFont(before); });
    const QString platformFamily = before.family();
    QVERIFY(platformFamily != QLatin1String("Noto Sans CJK SC"));

    UiFont::useForApplication();
    UiFont::useForApplication();
    QCOMPARE(QApplication::font().families(), (QStringList{QStringLiteral("Noto Sans CJK SC"), platformFamily}));
    QCOMPARE(UiFont::system(14, QFont::Bold).families(), QApplication::font().families());
    QWidget widget;
    QCOMPARE(QFontInfo(widget.font()).family(), QStringLiteral("Noto Sans CJK SC"));
    QCOMPARE(QFontInfo(widget.font()).pixelSize(), QFontInfo(before).pixelSize());
}

// A menu 200 wide opened near a window's right edge moves left to stay inside; with room it stays put.
void tst_Components::menuStaysInsideWindow()
{
    const QRect window(0, 0, 1000, 400);
    QCOMPARE(PopupMenu::placeInside(QRect(100, 50, 60, 24), QSize(200, 120), window), QPoint(100, 74));
    QCOMPARE(PopupMenu::placeInside(QRect(900, 50, 60, 24), QSize(200, 120), window), QPoint(800, 74));
    QCOMPARE(PopupMenu::placeInside(QRect(850, 50, 60, 24), QSize(200, 120), QRect(850, 0, 150, 400)), QPoint(850, 74));
}

// Every icon size shows the teal "C" on the navy tile, not a plain square.
void tst_Components::markIsDrawnInEverySize()
{
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        ProductMark::paint(&painter, QRectF(0, 0, size, size));
        const QColor ring = image.pixelColor(qRound(size * 0.2), size / 2);
        QVERIFY2(ring.green() > 150 && ring.red() < 100, qPrintable(QString::number(size)));
        QCOMPARE(image.pixelColor(size / 2, size / 10).rgb(), ProductMark::navy.rgb());
    }
}

QTEST_MAIN(tst_Components)
#include "tst_components.moc"
