#include "NoticeStrip.h"

#include "ui/RoundedPanel.h"
#include "ui/SymbolGlyphs.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int horizontalPadding = 12;
constexpr int verticalPadding = 10;
} // namespace

NoticeStrip::NoticeStrip(const Style &style, QWidget *parent)
    : QWidget(parent)
    , m_style(style)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void NoticeStrip::setContent(const QString &symbol, const QString &text, const QColor &color)
{
    if (m_symbol == symbol && m_text == text && m_color == color)
        return;
    m_symbol = symbol;
    m_text = text;
    m_color = color;
    updateGeometry();
    update();
}

int NoticeStrip::symbolExtent() const
{
    return qCeil(SymbolGlyphs::extent(m_style.symbolPoints));
}

int NoticeStrip::heightForWidth(int width) const
{
    const int textWidth = width - 2 * horizontalPadding - symbolExtent() - m_style.spacing;
    const int textHeight =
        qMax(QFontMetrics(m_style.textFont).height(), UiFont::wrappedHeight(m_style.textFont, m_text, textWidth));
    return 2 * verticalPadding + qMax(symbolExtent(), textHeight);
}

QSize NoticeStrip::sizeHint() const
{
    const int width = 2 * horizontalPadding + symbolExtent() + m_style.spacing
                      + QFontMetrics(m_style.textFont).horizontalAdvance(m_text);
    return {width, heightForWidth(width)};
}

void NoticeStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = UiPalette::legibleOn(palette(), m_color);
    RoundedPanel::paintFrame(painter, rect(), m_style.radius, UiPalette::withOpacity(m_color, m_style.fillOpacity),
                             UiPalette::withOpacity(m_color, m_style.borderOpacity));

    const QRect content = rect().adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    const int lineHeight = QFontMetrics(m_style.textFont).height();
    const int symbolSide = symbolExtent();
    // The symbol sits on the first line of text, as a leading icon does.
    const int symbolTop = content.top() + qMax(0, (lineHeight - symbolSide) / 2);
    SymbolGlyphs::draw(painter, QRectF(content.left(), symbolTop, symbolSide, symbolSide), m_symbol,
                       m_style.symbolPoints, color);
    const int textTop = content.top() + qMax(0, (symbolSide - lineHeight) / 2);
    const int textLeft = content.left() + symbolSide + m_style.spacing;
    painter.setFont(m_style.textFont);
    painter.setPen(color);
    painter.drawText(QRect(textLeft, textTop, content.right() - textLeft + 1, content.bottom() - textTop + 1),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_text);
}
