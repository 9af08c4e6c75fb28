#pragma once

#include <QMenu>

// A menu whose destructive items read in red, as a destructive button role is drawn. Opened from a
// widget near the window's right edge, it keeps inside the window (right-aligned with that widget)
// instead of running past the edge, as a window manager without a compositor leaves it under X11.
class PopupMenu : public QMenu
{
    Q_OBJECT

public:
    using QMenu::QMenu;

    static void setDestructive(QAction *action);
    static bool isDestructive(const QAction *action);

    // Where a menu of `size` opened below `anchor` (global coordinates) fits inside `window`: below
    // its left edge, else shifted left as far as needed, never past the window's left edge.
    static QPoint placeInside(const QRect &anchor, const QSize &size, const QRect &window);

protected:
    void showEvent(QShowEvent *event) override;
    void initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const override;
};
