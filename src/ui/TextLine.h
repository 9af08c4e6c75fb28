#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

class QPainter;

// One line of text in the system font, in the primary or secondary text colour of the palette it
// is drawn with, cut short with an ellipsis when the space runs out. Its text is its accessible
// name.
class TextLine : public QWidget
{
    Q_OBJECT

public:
    enum class Style { Primary, Secondary };

    TextLine(const QString &text, const QFont &font, Style style, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Draws text as one line centred vertically in bounds, cut with an ellipsis to their width.
    static void paint(QPainter &painter, const QRect &bounds, const QString &text, const QFont &font,
                      const QColor &color, Qt::Alignment horizontal = Qt::AlignLeft);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QFont m_font;
    Style m_style;
};
