#pragma once

#include <QWidget>

class QHBoxLayout;

// A shortcut row: a tinted symbol tile, title and subtitle, and an accessory at the trailing edge.
class ActionRow : public QWidget
{
    Q_OBJECT

public:
    ActionRow(const QString &symbol, const QString &title, const QString &subtitle, QWidget *accessory,
              QWidget *parent = nullptr);

    QString title() const { return m_title; }
    QString subtitle() const { return m_subtitle; }
    QWidget *accessory() const { return m_accessory; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int textBlockHeight() const;

    QString m_symbol;
    QString m_title;
    QString m_subtitle;
    QWidget *m_accessory = nullptr;
    QHBoxLayout *m_layout = nullptr;
};
