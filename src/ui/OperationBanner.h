#pragma once

#include "model/OperationTone.h"
#include "ui/NoticeShape.h"

#include <QWidget>

class AuthToolModel;

// The outcome or progress of the latest operation, in the colour and symbol of its tone.
class OperationBanner : public QWidget
{
    Q_OBJECT

public:
    explicit OperationBanner(QWidget *parent = nullptr);
    // A banner that shows the model's operation message and hides while it is empty.
    static OperationBanner *following(AuthToolModel *model, QWidget *parent);

    static QString symbolName(OperationTone tone);

    QString message() const { return m_message; }
    OperationTone tone() const { return m_tone; }
    void setMessage(const QString &message, OperationTone tone);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    NoticeShape shape() const;

    QString m_message;
    OperationTone m_tone = OperationTone::Info;
};
