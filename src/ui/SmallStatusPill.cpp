#include "SmallStatusPill.h"

#include "ui/Accessibility.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int horizontalPadding = 9;
constexpr int verticalPadding = 5;
QFont pillFont() { return UiFont::system(11, QFont::DemiBold); }
} // namespace

SmallStatusPill::SmallStatusPill(const QString &text, const QColor &color, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
    , m_color(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Accessibility::setRole(this, QAccessible::StaticText);
    Accessibility::announce(this, text);
}

void SmallStatusPill::setStatus(const QString &text, const QColor &color)
{
    m_text = text;
    m_color = color;
    Accessibility::announce(this, text);
    updateGeometry();
    update();
}

QSize SmallStatusPill::sizeHint() const
{
    const QFontMetrics metrics(pillFont());
    return {metrics.horizontalAdvance(m_text) + 2 * horizontalPadding, metrics.height() + 2 * verticalPadding};
}

void SmallStatusPill::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal radius = height() / 2.0;
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), radius, radius);
    painter.fillPath(capsule, UiPalette::withOpacity(m_color, 0.12));
    painter.setFont(pillFont());
    painter.setPen(m_color);
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}
