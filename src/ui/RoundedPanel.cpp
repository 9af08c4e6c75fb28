#include "RoundedPanel.h"

#include "ui/UiPalette.h"

#include <QPainter>
#include <QPainterPath>

RoundedPanel::RoundedPanel(Fill fill, qreal radius, QWidget *parent)
    : QWidget(parent)
    , m_fill(fill)
    , m_radius(radius)
{
}

void RoundedPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    painter.fillPath(shape, m_fill == Fill::SoftPanel ? UiPalette::softPanelColor(palette())
                                                      : UiPalette::windowBackgroundColor(palette()));
    painter.setPen(QPen(UiPalette::lineColor(palette()), 1));
    painter.drawPath(shape);
}
