#include "OnlineTab.h"

#include "ui/Accessibility.h"
#include "ui/FocusRing.h"
#include "ui/RoundedPanel.h"
#include "ui/SymbolGlyphs.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>

namespace {
constexpr int horizontalPadding = 11;
constexpr int verticalPadding = 8;
constexpr int spacing = 7;
constexpr qreal fontPoints = 12;
QFont titleFont() { return UiFont::system(fontPoints, QFont::Bold); }
} // namespace

OnlineTab::OnlineTab(const QString &symbol, const QString &title, const QColor &selectedColor, QWidget *parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_selectedColor(selectedColor)
{
    Accessibility::setRole(this, QAccessible::PageTab);
    setText(title);
    setAccessibleName(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setCheckable(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize OnlineTab::sizeHint() const
{
    const QFontMetrics metrics(titleFont());
    const qreal symbol = SymbolGlyphs::extent(fontPoints);
    return {horizontalPadding * 2 + qCeil(symbol) + spacing + metrics.horizontalAdvance(text()),
            verticalPadding * 2 + qMax(metrics.height(), qCeil(symbol))};
}

void OnlineTab::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    RoundedPanel::paintFrame(painter, rect(), 9, isChecked() ? m_selectedColor : UiPalette::softPanelColor(palette()),
                             isChecked() ? m_selectedColor : UiPalette::lineColor(palette()));

    const QColor foreground = isChecked() ? QColor(Qt::white) : UiPalette::primaryTextColor(palette());
    const QRectF content = QRectF(rect()).adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    const qreal symbol = SymbolGlyphs::extent(fontPoints);
    SymbolGlyphs::draw(painter, QRectF(content.left(), content.top(), symbol, content.height()), m_symbol,
                       fontPoints, foreground);
    painter.setFont(titleFont());
    painter.setPen(foreground);
    painter.drawText(content.adjusted(symbol + spacing, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (FocusRing::shows(this))
        FocusRing::draw(painter, rect(), 9, palette());
}

void OnlineTab::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
