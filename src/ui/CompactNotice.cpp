#include "CompactNotice.h"

#include "ui/UiFont.h"

#include <QPainter>

CompactNotice::CompactNotice(const QString &symbol, const QString &text, const QColor &color, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
    , m_color(color)
{
    m_shape.symbol = symbol;
    m_shape.textFont = UiFont::system(12, QFont::Medium);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int CompactNotice::heightForWidth(int width) const
{
    return m_shape.heightForWidth(m_text, width);
}

QSize CompactNotice::sizeHint() const
{
    const int width = m_shape.preferredWidth(m_text);
    return {width, heightForWidth(width)};
}

void CompactNotice::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_shape.paint(painter, rect(), m_text, m_color);
}
