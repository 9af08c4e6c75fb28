#pragma once

#include <QPushButton>

// A borderless button that opens its menu: the title and a small chevron in the accent colour.
// Tab reaches it; Space and Return open the menu.
class MenuButton : public QPushButton
{
    Q_OBJECT

public:
    explicit MenuButton(const QString &title, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
