#include "MenuButton.h"

#include "ui/FocusRing.h"
#include "ui/SymbolGlyphs.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int horizontalPadding = 6;
constexpr int verticalPadding = 4;
constexpr int chevronGap = 3;
constexpr qreal chevronPoints = 10;
QFont titleFont() { return UiFont::system(13); }
int chevronSide() { return qCeil(SymbolGlyphs::extent(chevronPoints)); }
} // namespace

MenuButton::MenuButton(const QString &title, QWidget *parent)
    : QPushButton(title, parent)
{
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(title);
}

QSize MenuButton::sizeHint() const
{
    const QFontMetrics metrics(titleFont());
    return {2 * horizontalPadding + metrics.horizontalAdvance(text()) + chevronGap + chevronSide(),
            2 * verticalPadding + qMax(metrics.height(), chevronSide())};
}

void MenuButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown()) {
        QPainterPath plate;
        plate.addRoundedRect(QRectF(rect()), 6, 6);
        painter.fillPath(plate, UiPalette::withOpacity(UiPalette::primaryTextColor(palette()), 0.08));
    }
    QColor color = UiPalette::legibleOn(palette(), UiPalette::brandColor());
    if (!isEnabled())
        color = UiPalette::withOpacity(color, 0.55);
    const QFontMetrics metrics(titleFont());
    const int titleWidth = metrics.horizontalAdvance(text());
    painter.setFont(titleFont());
    painter.setPen(color);
    painter.drawText(QRect(horizontalPadding, 0, titleWidth, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    const int side = chevronSide();
    SymbolGlyphs::draw(painter, QRectF(horizontalPadding + titleWidth + chevronGap, (height() - side) / 2.0, side, side),
                       QStringLiteral("chevron.down"), chevronPoints, color);
    if (FocusRing::shows(this))
        FocusRing::draw(painter, rect(), 6, palette());
}

void MenuButton::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat() && menu()) {
        showMenu();
        return;
    }
    QPushButton::keyPressEvent(event);
}
