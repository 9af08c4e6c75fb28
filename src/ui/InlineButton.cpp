#include "InlineButton.h"

#include "ui/FocusRing.h"
#include "ui/RoundedPanel.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>

namespace {
constexpr int minimumLabelWidth = 76;
constexpr int horizontalPadding = 10;
constexpr int verticalPadding = 7;
constexpr int spacing = 6;
constexpr int spinnerSide = 12;
QFont labelFont() { return UiFont::system(12, QFont::DemiBold); }
} // namespace

InlineButton::InlineButton(const QString &title, QWidget *parent)
    : QAbstractButton(parent)
{
    setText(title);
    setCursor(Qt::PointingHandCursor);
    // The keyboard reaches it, a click does not take focus away from where it is, as on macOS.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_spinnerTimer.setInterval(80);
    connect(&m_spinnerTimer, &QTimer::timeout, this, [this] {
        m_spinnerAngle = (m_spinnerAngle + 30) % 360;
        update();
    });
    syncAccessibleName();
}

void InlineButton::syncAccessibleName()
{
    setAccessibleName(labelText());
}

void InlineButton::setTitle(const QString &title)
{
    setText(title);
    syncAccessibleName();
    updateGeometry();
}

void InlineButton::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    applyState();
}

void InlineButton::setProminent(bool prominent)
{
    m_prominent = prominent;
    update();
}

void InlineButton::setRole(Role role)
{
    m_role = role;
    update();
}

void InlineButton::setDisabled(bool disabled)
{
    if (m_disabled == disabled)
        return;
    m_disabled = disabled;
    applyState();
}

void InlineButton::applyState()
{
    setEnabled(!m_disabled);
    if (m_busy)
        m_spinnerTimer.start();
    else
        m_spinnerTimer.stop();
    syncAccessibleName();
    updateGeometry();
    update();
}

QString InlineButton::labelText() const
{
    return m_busy ? QStringLiteral("处理中") : text();
}

QSize InlineButton::sizeHint() const
{
    const QFontMetrics metrics(labelFont());
    int contentWidth = metrics.horizontalAdvance(labelText());
    if (m_busy)
        contentWidth += spinnerSide + spacing;
    // The padding goes around the label's minimum width, not into it.
    return {qMax(minimumLabelWidth, contentWidth) + 2 * horizontalPadding, metrics.height() + 2 * verticalPadding};
}

QColor InlineButton::foregroundColor() const
{
    if (m_prominent)
        return Qt::white;
    if (m_role == Role::Destructive)
        return UiPalette::red();
    return UiPalette::primaryTextColor(palette());
}

QColor InlineButton::backgroundColor() const
{
    if (m_prominent)
        return UiPalette::brandColor();
    if (m_role == Role::Destructive)
        return UiPalette::withOpacity(UiPalette::red(), 0.08);
    return UiPalette::windowBackgroundColor(palette());
}

QColor InlineButton::borderColor() const
{
    if (m_prominent)
        return UiPalette::brandColor();
    if (m_role == Role::Destructive)
        return UiPalette::withOpacity(UiPalette::red(), 0.22);
    return UiPalette::lineColor(palette());
}

void InlineButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity());

    RoundedPanel::paintFrame(painter, rect(), 8, backgroundColor(), borderColor());

    const QFontMetrics metrics(labelFont());
    const QString label = labelText();
    const int labelWidth = metrics.horizontalAdvance(label) + (m_busy ? spinnerSide + spacing : 0);
    int x = (width() - labelWidth) / 2;
    if (m_busy) {
        const QRectF spinner(x + 1, (height() - spinnerSide) / 2.0 + 1, spinnerSide - 2, spinnerSide - 2);
        painter.setPen(QPen(UiPalette::withOpacity(foregroundColor(), 0.25), 2));
        painter.drawEllipse(spinner);
        painter.setPen(QPen(foregroundColor(), 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(spinner, -m_spinnerAngle * 16, 100 * 16);
        x += spinnerSide + spacing;
    }
    painter.setFont(labelFont());
    painter.setPen(foregroundColor());
    painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, label);
    if (FocusRing::shows(this))
        FocusRing::draw(painter, rect(), 8, palette());
}

bool InlineButton::hitButton(const QPoint &position) const
{
    return !m_busy && QAbstractButton::hitButton(position);
}

void InlineButton::keyPressEvent(QKeyEvent *event)
{
    if (m_busy && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter
                   || event->key() == Qt::Key_Select)) {
        event->accept();
        return;
    }
    // Space is the button's own key; Return acts the same, as it does on a focused macOS button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
