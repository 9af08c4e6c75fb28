#include "OfflinePanel.h"

#include "ui/RoundedPanel.h"
#include "ui/SymbolGlyphs.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int spacing = 10;
constexpr qreal symbolPoints = 28;
constexpr int textMargin = 24;
QFont headingFont() { return UiFont::system(16, QFont::Bold); }
QFont explanationFont() { return UiFont::system(13); }
} // namespace

OfflinePanel::OfflinePanel(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

OfflinePanel::OfflinePanel(const QString &headingText, const QString &explanationText, QWidget *parent)
    : OfflinePanel(parent)
{
    m_heading = headingText;
    m_explanation = explanationText;
}

void OfflinePanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    RoundedPanel::paintFrame(painter, rect(), 12, UiPalette::softPanelColor(palette()),
                             UiPalette::lineColor(palette()));

    // The three lines are centred as one block.
    const int textWidth = qMax(0, width() - 2 * textMargin);
    const qreal symbolHeight = SymbolGlyphs::extent(symbolPoints);
    const int headingHeight = QFontMetrics(headingFont()).height();
    const int explanationHeight = UiFont::wrappedHeight(explanationFont(), m_explanation, textWidth);
    const qreal total = symbolHeight + spacing + headingHeight + spacing + explanationHeight;
    qreal y = (height() - total) / 2;

    SymbolGlyphs::draw(painter, QRectF(0, y, width(), symbolHeight), QStringLiteral("wifi.slash"), symbolPoints,
                       UiPalette::orange());
    y += symbolHeight + spacing;
    painter.setFont(headingFont());
    painter.setPen(UiPalette::primaryTextColor(palette()));
    painter.drawText(QRectF(0, y, width(), headingHeight), Qt::AlignHCenter | Qt::AlignVCenter, m_heading);
    y += headingHeight + spacing;
    painter.setFont(explanationFont());
    painter.setPen(UiPalette::secondaryTextColor(palette()));
    painter.drawText(QRectF(textMargin, y, textWidth, explanationHeight), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     m_explanation);
}
