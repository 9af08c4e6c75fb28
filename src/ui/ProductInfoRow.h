#pragma once

#include "ui/RoundedPanel.h"

class QLineEdit;

// One contact entry: a short label and its value on one line. The value can be selected and
// copied; when it is too long it is shown cut at its end, while a copy still takes the whole value.
class ProductInfoRow : public RoundedPanel
{
    Q_OBJECT

public:
    ProductInfoRow(const QString &label, const QString &value, QWidget *parent = nullptr);

    QString label() const { return m_label; }
    QLineEdit *valueField() const { return m_field; }
    // What the row shows of the value while it is not being selected.
    QString displayedValue() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_label;
    QLineEdit *m_field;
};
