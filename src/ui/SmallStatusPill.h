#pragma once

#include <QColor>
#include <QWidget>

// A short status word in a tinted capsule.
class SmallStatusPill : public QWidget
{
    Q_OBJECT

public:
    SmallStatusPill(const QString &text, const QColor &color, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    QColor color() const { return m_color; }
    void setStatus(const QString &text, const QColor &color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QColor m_color;
};
