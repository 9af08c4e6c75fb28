#include "StatusTile.h"

#include "ui/Accessibility.h"
#include "ui/RoundedPanel.h"
#include "ui/SymbolGlyphs.h"
#include "ui/TextLine.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr int padding = 12;
constexpr int spacing = 10;
constexpr int symbolSide = 30;
constexpr int lineSpacing = 4;
QFont labelFont() { return UiFont::system(11, QFont::Medium); }
QFont valueFont() { return UiFont::system(14, QFont::Bold); }
QFont detailFont() { return UiFont::system(11); }

int textBlockHeight()
{
    return QFontMetrics(labelFont()).height() + QFontMetrics(valueFont()).height()
           + QFontMetrics(detailFont()).height() + 2 * lineSpacing;
}
} // namespace

StatusTile::StatusTile(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Accessibility::setRole(this, QAccessible::StaticText);
}

void StatusTile::setContent(const QString &symbol, const QString &label, const QString &value, const QString &detail,
                            const QColor &color)
{
    m_symbol = symbol;
    m_label = label;
    m_value = value;
    m_detail = detail;
    m_color = color;
    Accessibility::announce(this, label + QStringLiteral("：") + value + QStringLiteral("，") + detail);
    updateGeometry();
    update();
}

QSize StatusTile::sizeHint() const
{
    const int textWidth = std::max({QFontMetrics(labelFont()).horizontalAdvance(m_label),
                                    QFontMetrics(valueFont()).horizontalAdvance(m_value),
                                    QFontMetrics(detailFont()).horizontalAdvance(m_detail)});
    return {2 * padding + symbolSide + spacing + textWidth, 2 * padding + qMax(symbolSide, textBlockHeight())};
}

QSize StatusTile::minimumSizeHint() const
{
    return {2 * padding + symbolSide, sizeHint().height()};
}

void StatusTile::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    RoundedPanel::paintFrame(painter, rect(), 11, UiPalette::softPanelColor(palette()),
                             UiPalette::lineColor(palette()));

    const QRectF tile(padding, padding, symbolSide, symbolSide);
    QPainterPath tileShape;
    tileShape.addRoundedRect(tile, 8, 8);
    painter.fillPath(tileShape, UiPalette::withOpacity(m_color, 0.1));
    SymbolGlyphs::draw(painter, tile, m_symbol, 15, m_color);

    const int left = padding + symbolSide + spacing;
    const int textWidth = qMax(0, width() - padding - left);
    int top = padding;
    const auto drawLine = [&](const QString &text, const QFont &font, const QColor &color) {
        const int lineHeight = QFontMetrics(font).height();
        TextLine::paint(painter, QRect(left, top, textWidth, lineHeight), text, font, color);
        top += lineHeight + lineSpacing;
    };
    const QColor secondary = UiPalette::secondaryTextColor(palette());
    drawLine(m_label, labelFont(), secondary);
    drawLine(m_value, valueFont(), UiPalette::primaryTextColor(palette()));
    drawLine(m_detail, detailFont(), secondary);
}
