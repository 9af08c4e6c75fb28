#include "QRCodeCard.h"

#include "ui/ResourceImage.h"
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
QFont titleFont() { return UiFont::system(11, QFont::Bold); }
QFont subtitleFont() { return UiFont::system(10); }
} // namespace

QRCodeCard::QRCodeCard(const QString &title, const QString &subtitle, const QString &imageName,
                       const QString &imageExt, const AppBundle &bundle, QWidget *parent)
    : RoundedPanel(Fill::Window, 12, parent)
    , m_title(title)
    , m_subtitle(subtitle)
    , m_image(new ResourceImage(imageName, imageExt, QStringLiteral("qrcode"), bundle, this))
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

    const QFontMetrics titleMetrics(titleFont());
    const QFontMetrics subtitleMetrics(subtitleFont());
    int y = verticalPadding + tileSide + spacing;
    painter.setFont(titleFont());
    painter.setPen(UiPalette::primaryTextColor(palette()));
    painter.drawText(QRect(0, y, width(), titleMetrics.height()), Qt::AlignHCenter | Qt::AlignVCenter,
                     titleMetrics.elidedText(m_title, Qt::ElideRight, width() - 12));
    y += titleMetrics.height() + spacing;
    painter.setFont(subtitleFont());
    painter.setPen(UiPalette::secondaryTextColor(palette()));
    painter.drawText(QRect(0, y, width(), subtitleMetrics.height()), Qt::AlignHCenter | Qt::AlignVCenter,
                     subtitleMetrics.elidedText(m_subtitle, Qt::ElideRight, width() - 12));
}
