#include "SymbolGlyphs.h"

#include <QPainter>

namespace SymbolGlyphs {

const QHash<QString, QString> &table()
{
    static const QHash<QString, QString> glyphs = {
        // sidebar
        {QStringLiteral("square.grid.2x2"), QStringLiteral("grid_view")},
        {QStringLiteral("wrench.and.screwdriver"), QStringLiteral("handyman")},
        {QStringLiteral("cart"), QStringLiteral("shopping_cart")},
        {QStringLiteral("person.crop.circle"), QStringLiteral("account_circle")},
        {QStringLiteral("questionmark.circle"), QStringLiteral("help_outline")},
        // operation tones and notices
        {QStringLiteral("info.circle"), QStringLiteral("info_outline")},
        {QStringLiteral("checkmark.circle"), QStringLiteral("check_circle_outline")},
        {QStringLiteral("exclamationmark.triangle"), QStringLiteral("warning_amber")},
        // overview
        {QStringLiteral("wifi"), QStringLiteral("wifi")},
        {QStringLiteral("wifi.slash"), QStringLiteral("wifi_off")},
        {QStringLiteral("arrow.up.circle.fill"), QStringLiteral("arrow_circle_up")},
        {QStringLiteral("lock"), QStringLiteral("lock")},
        // local plugin page
        {QStringLiteral("chevron.down"), QStringLiteral("expand_more")},
        // online pages
        {QStringLiteral("sparkles"), QStringLiteral("auto_awesome")},
        {QStringLiteral("creditcard"), QStringLiteral("credit_card")},
        {QStringLiteral("dollarsign.circle"), QStringLiteral("monetization_on")},
        {QStringLiteral("circle.hexagongrid"), QStringLiteral("hive")},
        {QStringLiteral("key"), QStringLiteral("vpn_key")},
        // guide and product information
        {QStringLiteral("message.and.waveform"), QStringLiteral("chat")},
        {QStringLiteral("building.2"), QStringLiteral("apartment")},
        {QStringLiteral("qrcode"), QStringLiteral("qr_code")},
        {QStringLiteral("leaf"), QStringLiteral("eco")},
    };
    return glyphs;
}

QString ligature(const QString &symbolName)
{
    return table().value(symbolName);
}

qreal extent(qreal points)
{
    // Material glyphs fill about 5/6 of their em square; SF symbols are roughly cap height plus.
    return points * 1.3;
}

QFont font(qreal points)
{
    QFont iconFont(QStringLiteral("Material Icons"));
    iconFont.setPixelSize(qMax(1, qRound(extent(points))));
    iconFont.setStyleStrategy(QFont::NoFontMerging);
    return iconFont;
}

void draw(QPainter &painter, const QRectF &rect, const QString &symbolName, qreal points, const QColor &color)
{
    const QString glyph = ligature(symbolName);
    if (glyph.isEmpty())
        return;
    painter.save();
    painter.setFont(font(points));
    painter.setPen(color);
    painter.drawText(rect, Qt::AlignCenter, glyph);
    painter.restore();
}

} // namespace SymbolGlyphs
