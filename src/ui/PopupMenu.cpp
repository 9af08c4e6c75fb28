#include "PopupMenu.h"

#include "ui/UiPalette.h"

#include <QAction>
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

void PopupMenu::initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const
{
    QMenu::initStyleOption(option, action);
    if (!isDestructive(action) || !action->isEnabled())
        return;
    // The highlighted row keeps the style's own text colour on the selection.
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        option->palette.setColor(role, UiPalette::red());
}
