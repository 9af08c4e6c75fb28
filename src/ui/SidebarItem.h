#pragma once

#include <QAbstractButton>

// One page entry of the sidebar: symbol and title, a light rounded plate while active, a fainter
// one under the pointer. Tab reaches it, Space and Return choose it, Up and Down ask for a step.
// Assistive technology hears a page tab, selected while its page shows.
class SidebarItem : public QAbstractButton
{
    Q_OBJECT

public:
    SidebarItem(const QString &symbol, const QString &title, QWidget *parent = nullptr);

    QString symbol() const { return m_symbol; }
    QString title() const { return text(); }
    bool isActive() const { return isChecked(); }
    void setActive(bool active) { setChecked(active); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    // Up (-1) or Down (+1) was pressed while the entry had focus.
    void stepRequested(int step);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    // The page decides what is active, not a click.
    void nextCheckState() override {}

private:
    QString m_symbol;
    // Focus given without the keyboard (the window's start) wears no ring until the keyboard moves.
    bool m_quietFocus = true;
};
