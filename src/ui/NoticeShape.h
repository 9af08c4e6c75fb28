#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;
class QRect;

// The tinted, bordered strip shared by the operation banner and the compact notice: a symbol, a
// wrapping message and a rounded frame in one colour.
struct NoticeShape
{
    QString symbol;
    qreal symbolPoints = 13;
    QFont textFont;
    int spacing = 8;
    qreal radius = 10;
    qreal fillOpacity = 0.08;
    qreal borderOpacity = 0.18;

    static constexpr int horizontalPadding = 12;
    static constexpr int verticalPadding = 10;

    int heightForWidth(const QString &text, int width) const;
    int preferredWidth(const QString &text) const;
    void paint(QPainter &painter, const QRect &bounds, const QString &text, const QColor &color) const;

private:
    int symbolExtent() const;
};
