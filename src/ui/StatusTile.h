#pragma once

#include <QColor>
#include <QWidget>

// A small status card: a tinted symbol beside a label, a bold value and a one-line detail.
class StatusTile : public QWidget
{
    Q_OBJECT

public:
    explicit StatusTile(QWidget *parent = nullptr);

    QString symbol() const { return m_symbol; }
    QString label() const { return m_label; }
    QString value() const { return m_value; }
    QString detail() const { return m_detail; }
    QColor color() const { return m_color; }
    void setContent(const QString &symbol, const QString &label, const QString &value, const QString &detail,
                    const QColor &color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    QString m_label;
    QString m_value;
    QString m_detail;
    QColor m_color;
};
