#pragma once

#include "core/OperationTone.h"
#include "ui/NoticeStrip.h"

class AuthToolModel;

// The outcome or progress of the latest operation, in the colour and symbol of its tone.
class OperationBanner : public NoticeStrip
{
    Q_OBJECT

public:
    explicit OperationBanner(QWidget *parent = nullptr);
    // A banner that shows the model's operation message and hides while it is empty.
    static OperationBanner *following(AuthToolModel *model, QWidget *parent);

    static QString symbolName(OperationTone tone);

    QString message() const { return text(); }
    OperationTone tone() const { return m_tone; }
    void setMessage(const QString &message, OperationTone tone);

private:
    OperationTone m_tone = OperationTone::Info;
};
