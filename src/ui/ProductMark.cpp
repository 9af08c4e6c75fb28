#include "ProductMark.h"

#include <QPainter>
#include <QPainterPath>

namespace ProductMark {

void paint(QPainter *painter, const QRectF &tile)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(tile.width(), tile.height());
    QPainterPath shape;
    shape.addRoundedRect(tile, side * 0.24, side * 0.24);
    painter->fillPath(shape, navy);
    // Below 32 pixels the bars would be a blur: the "C" alone, drawn bolder, carries the mark.
    const bool small = side < 32;
    const qreal inset = side * (small ? 0.22 : 0.2);
    painter->setPen(QPen(teal, side * (small ? 0.16 : 0.11), Qt::SolidLine, Qt::RoundCap));
    painter->setBrush(Qt::NoBrush);
    painter->drawArc(tile.adjusted(inset, inset, -inset, -inset), 40 * 16, 280 * 16);
    if (!small) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(Qt::white);
        const qreal unit = side / 108;
        const qreal baseline = tile.center().y() + 14 * unit;
        for (int i = 0; i < 3; ++i) {
            const qreal height = (10 + 8 * i) * unit;
            const qreal x = tile.center().x() + (-14 + i * 10.5) * unit;
            painter->drawRoundedRect(QRectF(x, baseline - height, 7 * unit, height), 2 * unit, 2 * unit);
        }
    }
    painter->restore();
}

} // namespace ProductMark
