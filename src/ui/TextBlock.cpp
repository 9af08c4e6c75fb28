#include "TextBlock.h"

#include "ui/Accessibility.h"
#include "ui/TextLine.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QPainter>

TextBlock::TextBlock(const QString &title, const QFont &titleFont, const QString &detail, const QFont &detailFont,
                     int spacing, QWidget *parent)
    : QWidget(parent)
    , m_title(title)
    , m_titleFont(titleFont)
    , m_detail(detail)
    , m_detailFont(detailFont)
    , m_spacing(spacing)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    Accessibility::setRole(this, QAccessible::StaticText);
    setAccessibleName(title.isEmpty() ? detail : title);
    if (!title.isEmpty())
        setAccessibleDescription(detail);
}

int TextBlock::titleHeight() const
{
    return m_title.isEmpty() ? 0 : QFontMetrics(m_titleFont).height();
}

int TextBlock::heightForWidth(int width) const
{
    const int gap = m_title.isEmpty() || m_detail.isEmpty() ? 0 : m_spacing;
    return titleHeight() + gap + UiFont::wrappedHeight(m_detailFont, m_detail, width);
}

QSize TextBlock::sizeHint() const
{
    const int width = qMax(QFontMetrics(m_titleFont).horizontalAdvance(m_title),
                           QFontMetrics(m_detailFont).horizontalAdvance(m_detail));
    return {width, heightForWidth(width)};
}

QSize TextBlock::minimumSizeHint() const
{
    // Narrow enough to wrap: the layout, not the longest line, decides the width. The height is
    // the layout's business too (height for width); a wrapped-at-minimum height here would stretch
    // every enclosing scroll area.
    const int gap = m_title.isEmpty() || m_detail.isEmpty() ? 0 : m_spacing;
    const int detailLine = m_detail.isEmpty() ? 0 : QFontMetrics(m_detailFont).height();
    return {QFontMetrics(m_titleFont).horizontalAdvance(m_title.left(6)), titleHeight() + gap + detailLine};
}

void TextBlock::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int top = titleHeight();
    if (!m_title.isEmpty()) {
        TextLine::paint(painter, QRect(0, 0, width(), top), m_title, m_titleFont,
                        UiPalette::primaryTextColor(palette()));
    }
    if (!m_detail.isEmpty()) {
        const int y = m_title.isEmpty() ? 0 : top + m_spacing;
        painter.setFont(m_detailFont);
        painter.setPen(UiPalette::secondaryTextColor(palette()));
        painter.drawText(QRect(0, y, width(), height() - y), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_detail);
    }
}
