#pragma once

#include <QAbstractButton>
#include <QColor>

// One tab of an online page: symbol and title; filled with the entry's colour while selected.
// Tab reaches it, Space and Return choose it; assistive technology hears a page tab, selected or not.
class OnlineTab : public QAbstractButton
{
    Q_OBJECT

public:
    OnlineTab(const QString &symbol, const QString &title, const QColor &selectedColor, QWidget *parent = nullptr);

    QString symbol() const { return m_symbol; }
    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected) { setChecked(selected); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // The page decides what is selected, not a click.
    void nextCheckState() override {}

private:
    QString m_symbol;
    QColor m_selectedColor;
};
