#include "OperationBanner.h"

#include "model/AuthToolModel.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QPainter>

OperationBanner::OperationBanner(QWidget *parent)
    : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

OperationBanner *OperationBanner::following(AuthToolModel *model, QWidget *parent)
{
    auto *banner = new OperationBanner(parent);
    const auto sync = [banner, model] {
        banner->setMessage(model->operationMessage(), model->operationTone());
        banner->setVisible(!model->operationMessage().isEmpty());
    };
    connect(model, &AuthToolModel::operationMessageChanged, banner, sync);
    connect(model, &AuthToolModel::operationToneChanged, banner, sync);
    sync();
    return banner;
}

QString OperationBanner::symbolName(OperationTone tone)
{
    switch (tone) {
    case OperationTone::Info:
        return QStringLiteral("info.circle");
    case OperationTone::Success:
        return QStringLiteral("checkmark.circle");
    case OperationTone::Warning:
    case OperationTone::Error:
        return QStringLiteral("exclamationmark.triangle");
    }
    return QStringLiteral("info.circle");
}

void OperationBanner::setMessage(const QString &message, OperationTone tone)
{
    if (m_message == message && m_tone == tone)
        return;
    m_message = message;
    m_tone = tone;
    updateGeometry();
    update();
}

NoticeShape OperationBanner::shape() const
{
    NoticeShape notice;
    notice.symbol = symbolName(m_tone);
    notice.symbolPoints = 14;
    notice.textFont = UiFont::system(12, QFont::DemiBold);
    notice.spacing = 9;
    notice.radius = 11;
    notice.fillOpacity = 0.1;
    notice.borderOpacity = 0.24;
    return notice;
}

int OperationBanner::heightForWidth(int width) const
{
    return shape().heightForWidth(m_message, width);
}

QSize OperationBanner::sizeHint() const
{
    const int width = shape().preferredWidth(m_message);
    return {width, heightForWidth(width)};
}

void OperationBanner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    shape().paint(painter, rect(), m_message, UiPalette::legibleOn(palette(), UiPalette::toneColor(m_tone)));
}
