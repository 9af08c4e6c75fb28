#include "ActionRow.h"

#include "ui/Accessibility.h"
#include "ui/RoundedPanel.h"
#include "ui/SymbolGlyphs.h"
#include "ui/TextLine.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr int padding = 13;
constexpr int spacing = 14;
constexpr int tileSide = 34;
constexpr int textSpacing = 3;
QFont titleFont() { return UiFont::system(14, QFont::Bold); }
QFont subtitleFont() { return UiFont::system(12); }
} // namespace

ActionRow::ActionRow(const QString &symbol, const QString &title, const QString &subtitle, QWidget *accessory,
                     QWidget *parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_title(title)
    , m_subtitle(subtitle)
    , m_accessory(accessory)
    , m_layout(new QHBoxLayout(this))
{
    // Symbol and texts are painted; the layout only places the accessory at the trailing edge.
    m_layout->setContentsMargins(padding, padding, padding, padding);
    m_layout->setSpacing(spacing);
    m_layout->addStretch(1);
    if (m_accessory)
        m_layout->addWidget(m_accessory, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The texts are painted: the row reads as a labelled group, and its control says which row it
    // acts on (several rows carry the same "打开").
    Accessibility::setRole(this, QAccessible::Grouping);
    setAccessibleName(title);
    setAccessibleDescription(subtitle);
    if (m_accessory)
        m_accessory->setAccessibleDescription(title + QStringLiteral("：") + subtitle);
}

int ActionRow::textBlockHeight() const
{
    return QFontMetrics(titleFont()).height() + textSpacing + QFontMetrics(subtitleFont()).height();
}

QSize ActionRow::sizeHint() const
{
    const int textWidth = qMax(QFontMetrics(titleFont()).horizontalAdvance(m_title),
                               QFontMetrics(subtitleFont()).horizontalAdvance(m_subtitle));
    const QSize accessorySize = m_accessory ? m_accessory->sizeHint() : QSize();
    const int contentHeight = std::max({tileSide, textBlockHeight(), accessorySize.height()});
    return {2 * padding + tileSide + spacing + textWidth + spacing + accessorySize.width(),
            2 * padding + contentHeight};
}

QSize ActionRow::minimumSizeHint() const
{
    return {2 * padding + tileSide, sizeHint().height()};
}

void ActionRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    RoundedPanel::paintFrame(painter, rect(), 12, UiPalette::softPanelColor(palette()),
                             UiPalette::lineColor(palette()));

    const QRectF tile(padding, (height() - tileSide) / 2.0, tileSide, tileSide);
    QPainterPath tileShape;
    tileShape.addRoundedRect(tile, 9, 9);
    painter.fillPath(tileShape, UiPalette::withOpacity(UiPalette::highlightColor(), 0.12));
    SymbolGlyphs::draw(painter, tile, m_symbol, 17, UiPalette::highlightColor());

    const int textLeft = padding + tileSide + spacing;
    const int textRight = m_accessory ? m_accessory->geometry().left() - spacing : width() - padding;
    const int titleHeight = QFontMetrics(titleFont()).height();
    const int top = (height() - textBlockHeight()) / 2;
    TextLine::paint(painter, QRect(textLeft, top, textRight - textLeft, titleHeight), m_title, titleFont(),
                    UiPalette::primaryTextColor(palette()));
    TextLine::paint(painter,
                    QRect(textLeft, top + titleHeight + textSpacing, textRight - textLeft,
                          QFontMetrics(subtitleFont()).height()),
                    m_subtitle, subtitleFont(), UiPalette::secondaryTextColor(palette()));
}
