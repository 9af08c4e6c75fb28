#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

// The tinted, bordered strip shared by the operation banner and the compact notice: a symbol, a
// wrapping text and a rounded frame, all in one colour.
class NoticeStrip : public QWidget
{
    Q_OBJECT

public:
    struct Style
    {
        qreal symbolPoints;
        QFont textFont;
        int spacing;
        qreal radius;
        qreal fillOpacity;
        qreal borderOpacity;
    };

    QString symbol() const { return m_symbol; }
    QString text() const { return m_text; }
    QColor color() const { return m_color; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    NoticeStrip(const Style &style, QWidget *parent);
    void setContent(const QString &symbol, const QString &text, const QColor &color);
    void paintEvent(QPaintEvent *event) override;

private:
    int symbolExtent() const;

    Style m_style;
    QString m_symbol;
    QString m_text;
    QColor m_color;
};
