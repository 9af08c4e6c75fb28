#pragma once

#include <QMenu>

// A menu whose destructive items read in red, as a destructive button role is drawn.
class PopupMenu : public QMenu
{
    Q_OBJECT

public:
    using QMenu::QMenu;

    static void setDestructive(QAction *action);
    static bool isDestructive(const QAction *action);

protected:
    void initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const override;
};
