#pragma once

#include <QWidget>

// Stands in for the browser of an online page while the computer is offline.
class OfflinePanel : public QWidget
{
    Q_OBJECT

public:
    static inline const QString heading = QStringLiteral("当前离线");
    static inline const QString explanation =
        QStringLiteral("联网后可查看服务方案、账单、积分和 API 设置；本机插件仍可管理。");

    explicit OfflinePanel(QWidget *parent = nullptr);
    // The same place for another reason the pages are not shown (the IT department's policy).
    OfflinePanel(const QString &headingText, const QString &explanationText, QWidget *parent);

    QString headingText() const { return m_heading; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_heading = heading;
    QString m_explanation = explanation;
};
