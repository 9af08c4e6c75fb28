#include "OperationBanner.h"

#include "model/AuthToolModel.h"
#include "ui/Accessibility.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

OperationBanner::OperationBanner(QWidget *parent)
    : NoticeStrip({14, UiFont::system(12, QFont::DemiBold), 9, 11, 0.1, 0.24}, parent)
{
    // Its message is the outcome of what the user started: screen readers speak an alert that shows.
    Accessibility::setRole(this, QAccessible::AlertMessage);
    setMessage(QString(), OperationTone::Info);
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
    m_tone = tone;
    setContent(symbolName(tone), message, UiPalette::toneColor(tone));
    Accessibility::announce(this, message);
}
