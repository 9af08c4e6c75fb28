#pragma once

#include <QWidget>

// A card: rounded rectangle filled with a panel colour and outlined with the hairline colour. Its
// content is laid out by the layout set on it.
class RoundedPanel : public QWidget
{
    Q_OBJECT

public:
    enum class Fill { SoftPanel, Window };

    RoundedPanel(Fill fill, qreal radius, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Fill m_fill;
    qreal m_radius;
};
