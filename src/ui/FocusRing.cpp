#include "FocusRing.h"

#include "ui/UiPalette.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace FocusRing {

namespace {
constexpr qreal ringWidth = 2.5;
}

bool shows(const QWidget *widget)
{
    return widget->hasFocus() && widget->isEnabled();
}

void draw(QPainter &painter, const QRectF &bounds, qreal radius, const QPalette &palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(1);
    const qreal inset = ringWidth / 2;
    QPainterPath ring;
    ring.addRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), qMax(0.0, radius - inset),
                        qMax(0.0, radius - inset));
    painter.setPen(QPen(UiPalette::focusRingColor(palette), ringWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(ring);
    painter.restore();
}

} // namespace FocusRing
