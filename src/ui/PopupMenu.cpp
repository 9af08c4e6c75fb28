#include "PopupMenu.h"

#include "ui/UiPalette.h"

#include <QAction>
#include <QShowEvent>
#include <QStyleOptionMenuItem>

namespace {
const char destructiveProperty[] = "corvantaDestructive";
}

void PopupMenu::setDestructive(QAction *action)
{
    action->setProperty(destructiveProperty, true);
}

bool PopupMenu::isDestructive(const QAction *action)
{
    return action->property(destructiveProperty).toBool();
}

QPoint PopupMenu::placeInside(const QRect &anchor, const QSize &size, const QRect &window)
{
    QPoint position(anchor.left(), anchor.bottom() + 1);
    if (position.x() + size.width() > window.right() + 1)
        position.setX(qMax(window.left(), window.right() + 1 - size.width()));
    return position;
}

void PopupMenu::showEvent(QShowEvent *event)
{
    QMenu::showEvent(event);
    const QWidget *opener = parentWidget();
    if (!opener)
        return;
    const QRect anchor(opener->mapToGlobal(QPoint(0, 0)), opener->size());
    const QWidget *window = opener->window();
    const QRect windowRect(window->mapToGlobal(QPoint(0, 0)), window->size());
    // Only across: Qt has already chosen above or below the opener for the screen's room.
    move(placeInside(anchor, size(), windowRect).x(), y());
}

void PopupMenu::initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const
{
    QMenu::initStyleOption(option, action);
    if (!isDestructive(action) || !action->isEnabled())
        return;
    // The highlighted row keeps the style's own text colour on the selection.
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        option->palette.setColor(role, UiPalette::red());
}
