#pragma once

#include <QFont>
#include <QWidget>

// A bold title over a secondary text that wraps at word boundaries; either may be empty.
class TextBlock : public QWidget
{
    Q_OBJECT

public:
    TextBlock(const QString &title, const QFont &titleFont, const QString &detail, const QFont &detailFont,
              int spacing, QWidget *parent = nullptr);

    QString title() const { return m_title; }
    QString detail() const { return m_detail; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int titleHeight() const;

    QString m_title;
    QFont m_titleFont;
    QString m_detail;
    QFont m_detailFont;
    int m_spacing;
};
