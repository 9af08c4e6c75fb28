#include "NoticeShape.h"

#include "ui/SymbolGlyphs.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

int NoticeShape::symbolExtent() const
{
    return qCeil(SymbolGlyphs::extent(symbolPoints));
}

int NoticeShape::heightForWidth(const QString &text, int width) const
{
    const int textWidth = width - 2 * horizontalPadding - symbolExtent() - spacing;
    const int textHeight = qMax(QFontMetrics(textFont).height(), UiFont::wrappedHeight(textFont, text, textWidth));
    return 2 * verticalPadding + qMax(symbolExtent(), textHeight);
}

int NoticeShape::preferredWidth(const QString &text) const
{
    return 2 * horizontalPadding + symbolExtent() + spacing + QFontMetrics(textFont).horizontalAdvance(text);
}

void NoticeShape::paint(QPainter &painter, const QRect &bounds, const QString &text, const QColor &color) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(bounds).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(frame, radius, radius);
    painter.fillPath(shape, UiPalette::withOpacity(color, fillOpacity));
    painter.setPen(QPen(UiPalette::withOpacity(color, borderOpacity), 1));
    painter.drawPath(shape);

    const QRect content = bounds.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    const int lineHeight = QFontMetrics(textFont).height();
    const int symbolSide = symbolExtent();
    // The symbol sits on the first line of text, as a leading icon does.
    const int symbolTop = content.top() + qMax(0, (lineHeight - symbolSide) / 2);
    SymbolGlyphs::draw(painter, QRectF(content.left(), symbolTop, symbolSide, symbolSide), symbol, symbolPoints,
                       color);
    const int textTop = content.top() + qMax(0, (symbolSide - lineHeight) / 2);
    painter.setFont(textFont);
    painter.setPen(color);
    painter.drawText(QRect(content.left() + symbolSide + spacing, textTop, content.width() - symbolSide - spacing,
                           content.bottom() - textTop + 1),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}
