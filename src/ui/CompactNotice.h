#pragma once

#include "ui/NoticeShape.h"

#include <QColor>
#include <QWidget>

// A short tinted remark with a leading symbol.
class CompactNotice : public QWidget
{
    Q_OBJECT

public:
    CompactNotice(const QString &symbol, const QString &text, const QColor &color, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    QColor color() const { return m_color; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    NoticeShape m_shape;
    QString m_text;
    QColor m_color;
};
