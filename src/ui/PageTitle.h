#pragma once

#include <QWidget>

// The heading of a page: a large bold title and a secondary subtitle that wraps.
class PageTitle : public QWidget
{
    Q_OBJECT

public:
    PageTitle(const QString &title, const QString &subtitle, QWidget *parent = nullptr);

    QString title() const { return m_title; }
    QString subtitle() const { return m_subtitle; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
    QString m_subtitle;
};
