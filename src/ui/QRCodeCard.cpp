#include "QRCodeCard.h"

#include "ui/ResourceImage.h"
#include "ui/TextLine.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int verticalPadding = 10;
constexpr int spacing = 7;
constexpr int imageSide = 78;
constexpr int tilePadding = 6;
constexpr int tileSide = imageSide + 2 * tilePadding;
constexpr int textInset = 6;
QFont titleFont() { return UiFont::system(11, QFont::Bold); }
QFont subtitleFont() { return UiFont::system(10); }
} // namespace

QRCodeCard::QRCodeCard(const QString &title, const QString &subtitle, const QString &imageName,
                       const QString &imageExt, const QString &dataDir, QWidget *parent)
    : RoundedPanel(Fill::Window, 12, parent)
    , m_title(title)
    , m_subtitle(subtitle)
    , m_image(new ResourceImage(imageName, imageExt, QStringLiteral("qrcode"), dataDir, this))
{
    m_image->setFixedSize(imageSide, imageSide);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize QRCodeCard::sizeHint() const
{
    const int height = 2 * verticalPadding + tileSide + spacing + QFontMetrics(titleFont()).height() + spacing
        + QFontMetrics(subtitleFont()).height();
    return {tileSide + 2 * 16, height};
}

QSize QRCodeCard::minimumSizeHint() const
{
    return {tileSide + 8, sizeHint().height()};
}

QRectF QRCodeCard::tileRect() const
{
    return {(width() - tileSide) / 2.0, double(verticalPadding), double(tileSide), double(tileSide)};
}

void QRCodeCard::resizeEvent(QResizeEvent *)
{
    m_image->move(tileRect().topLeft().toPoint() + QPoint(tilePadding, tilePadding));
}

void QRCodeCard::paintEvent(QPaintEvent *event)
{
    RoundedPanel::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The tile stays white in dark mode too: a QR code needs its light quiet zone to scan.
    paintFrame(painter, tileRect(), 10, Qt::white, UiPalette::lineColor(palette()));

    const int titleHeight = QFontMetrics(titleFont()).height();
    const int titleTop = verticalPadding + tileSide + spacing;
    TextLine::paint(painter, QRect(textInset, titleTop, width() - 2 * textInset, titleHeight), m_title, titleFont(),
                    UiPalette::primaryTextColor(palette()), Qt::AlignHCenter);
    TextLine::paint(painter,
                    QRect(textInset, titleTop + titleHeight + spacing, width() - 2 * textInset,
                          QFontMetrics(subtitleFont()).height()),
                    m_subtitle, subtitleFont(), UiPalette::secondaryTextColor(palette()), Qt::AlignHCenter);
}
