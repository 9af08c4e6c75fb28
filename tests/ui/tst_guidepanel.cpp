#include "DesktopPalettes.h"
#include "StagedModel.h"
#include "model/AuthToolModel.h"
#include "ui/ActionRow.h"
#include "ui/ContentView.h"
#include "ui/DisclosureGroup.h"
#include "ui/GuidePanel.h"
#include "ui/InlineButton.h"
#include "ui/ProductInfoPanel.h"
#include "ui/ProductInfoRow.h"
#include "ui/QRCodeCard.h"
#include "ui/ResourceImage.h"
#include "ui/Sidebar.h"
#include "ui/SidebarItem.h"
#include "ui/UiPalette.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QString bundleResources = QStringLiteral(TEST_DATA_DIR "/");
const QStringList imageFiles = {QStringLiteral("corvanta-logo.png"), QStringLiteral("qr-miniprogram.jpg"),
                                QStringLiteral("qr-wecom.jpeg"), QStringLiteral("qr-wechat.png"),
                                QStringLiteral("qr-official.jpeg")};

// Stands in for the desktop's browser: remembers what it was asked to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

int pixelsNear(const QImage &image, const QColor &color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (qAbs(pixel.red() - color.red()) < 24 && qAbs(pixel.green() - color.green()) < 24
                && qAbs(pixel.blue() - color.blue()) < 24)
                ++count;
        }
    return count;
}

} // namespace

class tst_GuidePanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QApplication::setPalette(DesktopPalettes::light()); }
    void imagesOrSymbols_data();
    void imagesOrSymbols();
    void contactValueSelectedAndCopied_data();
    void contactValueSelectedAndCopied();
    void shortcutsOpenAddresses_data();
    void shortcutsOpenAddresses();
    void shortcutsOffline_data();
    void shortcutsOffline();
    void contactSectionFoldsWhenShownAnew();
    void bundleImages_data();
    void bundleImages();
    void screenshots_data();
    void screenshots();
};

void tst_GuidePanel::imagesOrSymbols_data()
{
    QTest::addColumn<QString>("resources");
    QTest::addColumn<bool>("images");
    QTest::newRow("bundled") << QStringLiteral("copy") << true;
    QTest::newRow("removed") << QStringLiteral("empty") << false;
    QTest::newRow("unreadable") << QStringLiteral("garbage") << false;
    QTest::newRow("no data folder") << QString() << false;
}

void tst_GuidePanel::imagesOrSymbols()
{
    QFETCH(QString, resources);
    QFETCH(bool, images);
    QTemporaryDir dir;
    QString data;
    if (!resources.isEmpty()) {
        data = dir.filePath(QStringLiteral("share/corvanta-manager"));
        QVERIFY(QDir().mkpath(data));
        for (const QString &file : imageFiles) {
            const QString target = data + QLatin1Char('/') + file;
            if (resources == QLatin1String("copy"))
                QVERIFY(QFile::copy(bundleResources + file, target));
            if (resources == QLatin1String("garbage")) {
                QFile broken(target);
                QVERIFY(broken.open(QIODevice::WriteOnly));
                broken.write("not a picture");
            }
        }
    }
    AuthToolModel model;
    GuidePanel panel(&model, data);
    panel.resize(880, 1400);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.contactSection()->setExpanded(true);

    const auto *info = panel.findChild<ProductInfoPanel *>();
    QVERIFY(info && info->isVisible());
    // The logo's navy tile, or the teal fallback symbol.
    const QImage logo = info->logo()->grab().toImage();
    QCOMPARE(pixelsNear(logo, UiPalette::brandColor()) > 200, images);
    QCOMPARE(pixelsNear(logo, UiPalette::highlightColor()) > 20, true);
    QCOMPARE(info->qrCards().size(), 4);
    for (QRCodeCard *card : info->qrCards()) {
        const QImage code = card->image()->grab().toImage();
        QCOMPARE(pixelsNear(code, Qt::black) > 1000, images);
        QCOMPARE(pixelsNear(code, UiPalette::highlightColor()) > 20, !images);
    }
}

void tst_GuidePanel::contactValueSelectedAndCopied_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("elided");
    QTest::newRow("fits") << QStringLiteral("bd@corvanta-data.cn") << 400 << false;
    QTest::newRow("over-long") << QStringLiteral("https://www.corvanta-data.cn/contact/regional-offices/hangzhou-binjiang")
                               << 260 << true;
}

void tst_GuidePanel::contactValueSelectedAndCopied()
{
    QFETCH(QString, value);
    QFETCH(int, width);
    QFETCH(bool, elided);
    ProductInfoRow row(QStringLiteral("商务邮箱"), value);
    row.resize(width, row.sizeHint().height());
    row.show();
    QVERIFY(QTest::qWaitForWindowActive(&row));

    const QString shown = row.displayedValue();
    QCOMPARE(shown.endsWith(QStringLiteral("…")), elided);
    QVERIFY(value.startsWith(shown.chopped(elided ? 1 : 0)));
    QVERIFY(QFontMetrics(row.valueField()->font()).horizontalAdvance(shown) <= row.valueField()->width());

    // Drag across the value with the mouse, then copy; a cut line still copies the whole value.
    QLineEdit *field = row.valueField();
    const int middle = field->height() / 2;
    QTest::mousePress(field, Qt::LeftButton, {}, QPoint(1, middle));
    QTest::mouseMove(field, QPoint(field->width() - 1, middle));
    QTest::mouseRelease(field, Qt::LeftButton, {}, QPoint(field->width() - 1, middle));
    QVERIFY(field->hasSelectedText());
    if (elided)
        QTest::keySequence(field, QKeySequence::SelectAll);
    QApplication::clipboard()->clear();
    QTest::keySequence(field, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), value);
    QCOMPARE(field->text(), value);
}

void tst_GuidePanel::shortcutsOpenAddresses_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("address");
    QTest::newRow("service plans") << 0 << QStringLiteral("服务方案") << QStringLiteral("https://www.corvanta.com/pricing");
    QTest::newRow("online tool") << 1 << QStringLiteral("在线工具") << QStringLiteral("https://www.corvanta.com/grouping-chat");
    QTest::newRow("company site") << 2 << QStringLiteral("科凡塔官网") << QStringLiteral("https://www.corvanta-data.cn");
}

void tst_GuidePanel::shortcutsOpenAddresses()
{
    QFETCH(int, index);
    QFETCH(QString, title);
    QFETCH(QString, address);
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    const auto unsetHandler = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); });
    // No monitor: the suite alone says whether the model is online.
    StagedModel staged{ClientAuthAPI(QUrl(QStringLiteral("https://www.corvanta.com")))};
    AuthToolModel &model = staged.model;
    staged.setOnline(true);
    GuidePanel panel(&model, QString());
    panel.resize(880, 900);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    const auto rows = panel.findChildren<ActionRow *>();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(index)->title(), title);
    auto *open = qobject_cast<InlineButton *>(rows.at(index)->accessory());
    QVERIFY(open);
    QCOMPARE(open->title(), QStringLiteral("打开"));
    QTest::mouseClick(open, Qt::LeftButton);
    QCOMPARE(browser.opened.size(), 1);
    QCOMPARE(browser.opened.first().toString(), address);
}

void tst_GuidePanel::shortcutsOffline_data()
{
    QTest::addColumn<bool>("startsOffline");
    QTest::newRow("goes offline") << false;
    QTest::newRow("starts offline") << true;
}

void tst_GuidePanel::shortcutsOffline()
{
    QFETCH(bool, startsOffline);
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    const auto unsetHandler = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); });
    // No monitor: the suite alone says whether the model is online.
    StagedModel staged{ClientAuthAPI(QUrl(QStringLiteral("https://www.corvanta.com")))};
    AuthToolModel &model = staged.model;
    staged.setOnline(!startsOffline);
    GuidePanel panel(&model, QString());
    panel.resize(880, 900);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    if (!startsOffline)
        staged.setOnline(false);

    QCOMPARE(panel.shortcutButtons().size(), 3);
    for (InlineButton *open : panel.shortcutButtons()) {
        QVERIFY(open->isDisabled());
        QCOMPARE(open->opacity(), 0.55);
        QTest::mouseClick(open, Qt::LeftButton);
    }
    QVERIFY(browser.opened.isEmpty());

    staged.setOnline(true);
    for (InlineButton *open : panel.shortcutButtons()) {
        QVERIFY(!open->isDisabled());
        QCOMPARE(open->opacity(), 1.0);
    }
    QTest::mouseClick(panel.shortcutButtons().at(2), Qt::LeftButton);
    QCOMPARE(browser.opened, QList<QUrl>{QUrl(QStringLiteral("https://www.corvanta-data.cn"))});
}

void tst_GuidePanel::contactSectionFoldsWhenShownAnew()
{
    AuthToolModel model;
    ContentView view(&model);
    view.resize(1160, 760);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const auto guideSection = [&] {
        auto *panel = qobject_cast<GuidePanel *>(view.currentPage());
        return panel ? panel->contactSection() : nullptr;
    };
    const auto openSection = [&] {
        QApplication::processEvents(); // lays out the page just shown
        QTest::mouseClick(guideSection()->header(), Qt::LeftButton);
        return guideSection()->isExpanded() && guideSection()->content()->isVisible();
    };

    QTest::mouseClick(view.sidebar()->item(AppPage::Guide), Qt::LeftButton);
    QVERIFY(guideSection());
    QVERIFY(!guideSection()->isExpanded());
    QVERIFY(!guideSection()->content()->isVisible());
    QVERIFY(openSection());

    // Away and back: folded again.
    QTest::mouseClick(view.sidebar()->item(AppPage::Overview), Qt::LeftButton);
    QTest::mouseClick(view.sidebar()->item(AppPage::Guide), Qt::LeftButton);
    QVERIFY(!guideSection()->isExpanded());
    QVERIFY(openSection());

    // The window closed and opened again: folded again.
    view.hide();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!guideSection()->isExpanded());
    QVERIFY(!guideSection()->content()->isVisible());
}

void tst_GuidePanel::bundleImages_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("magic");
    QTest::addColumn<QString>("address");
    QTest::newRow("mini program") << QStringLiteral("qr-miniprogram.jpg") << QByteArray("\xFF\xD8\xFF")
                                  << QStringLiteral("https://www.corvanta-data.cn/mp/corvanta");
    QTest::newRow("wecom") << QStringLiteral("qr-wecom.jpeg") << QByteArray("\xFF\xD8\xFF")
                           << QStringLiteral("https://www.corvanta-data.cn/support/wecom");
    QTest::newRow("wechat") << QStringLiteral("qr-wechat.png") << QByteArray("\x89PNG")
                            << QStringLiteral("https://www.corvanta-data.cn/contact/wechat/corvanta_bd");
    QTest::newRow("official account") << QStringLiteral("qr-official.jpeg") << QByteArray("\xFF\xD8\xFF")
                                      << QStringLiteral("https://www.corvanta-data.cn/official-account");
    QTest::newRow("logo") << QStringLiteral("corvanta-logo.png") << QByteArray("\x89PNG") << QString();
}

void tst_GuidePanel::bundleImages()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, magic);
    QFETCH(QString, address);
    QFile image(bundleResources + file);
    QVERIFY2(image.open(QIODevice::ReadOnly), qPrintable(image.fileName()));
    // The format its extension names, which is what the Mac's image loading goes by.
    QVERIFY(image.read(magic.size()) == magic);
    if (address.isEmpty()) {
        // The logo fills its 138 x 42 frame.
        const QImage logo(image.fileName());
        QVERIFY(qAbs(double(logo.width()) / logo.height() - 138.0 / 42.0) < 0.05);
        return;
    }
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--quiet"), QStringLiteral("--raw"), image.fileName()});
    QVERIFY(zbar.waitForFinished(30000));
    QCOMPARE(zbar.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), address);
}

void tst_GuidePanel::screenshots_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("images");
    QTest::newRow("light closed") << false << false << true;
    QTest::newRow("light open") << false << true << true;
    QTest::newRow("dark closed") << true << false << true;
    QTest::newRow("dark open") << true << true << true;
    QTest::newRow("light open symbols") << false << true << false;
    QTest::newRow("dark open symbols") << true << true << false;
}

// Pictures of the page for a person to look at (the main panel of a 1160 pt wide window).
void tst_GuidePanel::screenshots()
{
    QFETCH(bool, dark);
    QFETCH(bool, open);
    QFETCH(bool, images);
    QApplication::setPalette(dark ? DesktopPalettes::dark() : DesktopPalettes::light());
    QVERIFY(QDir().mkpath(TEST_ARTIFACT_DIR));
    StagedModel staged;
    AuthToolModel &model = staged.model;
    staged.setOnline(!open);
    QWidget sheet;
    sheet.setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(&sheet);
    layout->setContentsMargins(24, 24, 24, 24);
    auto *panel = new GuidePanel(&model, images ? QStringLiteral(TEST_DATA_DIR) : QString(), &sheet);
    layout->addWidget(panel);
    sheet.resize(929, open ? 1240 : 760);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    panel->contactSection()->setExpanded(open);
    QTest::qWait(50);
    if (open) {
        // One value being selected, to see the selection drawn.
        QLineEdit *email = panel->findChild<ProductInfoPanel *>()->rows().at(3)->valueField();
        QTest::mouseClick(email, Qt::LeftButton, {}, QPoint(4, email->height() / 2));
        QTest::mouseDClick(email, Qt::LeftButton, {}, QPoint(4, email->height() / 2));
    }
    const QString name = QStringLiteral("guide-%1-%2%3.png")
                             .arg(dark ? QStringLiteral("dark") : QStringLiteral("light"),
                                  open ? QStringLiteral("open") : QStringLiteral("closed"),
                                  images ? QString() : QStringLiteral("-symbols"));
    QVERIFY(sheet.grab().save(QDir(TEST_ARTIFACT_DIR).filePath(name)));
}

QTEST_MAIN(tst_GuidePanel)
#include "tst_guidepanel.moc"
