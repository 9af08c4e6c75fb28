#include "SidebarItem.h"

#include "ui/Accessibility.h"
#include "ui/FocusRing.h"
#include "ui/SymbolGlyphs.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int horizontalPadding = 10;
constexpr int verticalPadding = 8;
constexpr int symbolWidth = 18;
constexpr int spacing = 10;
constexpr qreal fontPoints = 13;
} // namespace

SidebarItem::SidebarItem(const QString &symbol, const QString &title, QWidget *parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
{
    Accessibility::setRole(this, QAccessible::PageTab);
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(title);
    setCheckable(true);
}

QSize SidebarItem::sizeHint() const
{
    const QFontMetrics metrics(UiFont::system(fontPoints, QFont::DemiBold));
    const int contentHeight = qMax(metrics.height(), qCeil(SymbolGlyphs::extent(fontPoints)));
    return {horizontalPadding * 2 + symbolWidth + spacing + metrics.horizontalAdvance(text()),
            verticalPadding * 2 + contentHeight};
}

void SidebarItem::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QPainterPath plate;
    plate.addRoundedRect(bounds, 9, 9);
    if (isChecked())
        painter.fillPath(plate, UiPalette::withOpacity(Qt::white, 0.82));
    else if (underMouse())
        painter.fillPath(plate, UiPalette::withOpacity(UiPalette::primaryTextColor(palette()), 0.07));
    const QColor foreground = isChecked() ? UiPalette::brandColor() : UiPalette::secondaryTextColor(palette());
    const QRectF content = bounds.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    SymbolGlyphs::draw(painter, QRectF(content.left(), content.top(), symbolWidth, content.height()), m_symbol,
                       fontPoints, foreground);
    painter.setFont(UiFont::system(fontPoints, QFont::DemiBold));
    painter.setPen(foreground);
    painter.drawText(content.adjusted(symbolWidth + spacing, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text());
    if (FocusRing::shows(this) && !m_quietFocus)
        FocusRing::draw(painter, bounds, 9, palette());
}

void SidebarItem::focusInEvent(QFocusEvent *event)
{
    // A window that comes back to the front returns focus as it was, ring or not.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        m_quietFocus = event->reason() == Qt::OtherFocusReason;
    QAbstractButton::focusInEvent(event);
}

void SidebarItem::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        Q_EMIT stepRequested(-1);
        return;
    case Qt::Key_Down:
        Q_EMIT stepRequested(1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            animateClick();
        return;
    default:
        QAbstractButton::keyPressEvent(event);
    }
}
