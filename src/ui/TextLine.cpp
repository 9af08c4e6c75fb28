#include "TextLine.h"

#include "ui/Accessibility.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QPainter>

TextLine::TextLine(const QString &text, const QFont &font, Style style, QWidget *parent)
    : QWidget(parent)
    , m_font(font)
    , m_style(style)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    Accessibility::setRole(this, QAccessible::StaticText);
    setText(text);
}

void TextLine::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

QSize TextLine::sizeHint() const
{
    const QFontMetrics metrics(m_font);
    return {metrics.horizontalAdvance(m_text), metrics.height()};
}

QSize TextLine::minimumSizeHint() const
{
    return {0, QFontMetrics(m_font).height()};
}

void TextLine::paint(QPainter &painter, const QRect &bounds, const QString &text, const QFont &font,
                     const QColor &color, Qt::Alignment horizontal)
{
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(bounds, horizontal | Qt::AlignVCenter,
                     QFontMetrics(font).elidedText(text, Qt::ElideRight, bounds.width()));
}

void TextLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, rect(), m_text, m_font,
          m_style == Style::Primary ? UiPalette::primaryTextColor(palette()) : UiPalette::secondaryTextColor(palette()));
}
