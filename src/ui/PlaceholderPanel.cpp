#include "PlaceholderPanel.h"

#include "ui/OperationBanner.h"
#include "ui/PageTitle.h"

#include <QVBoxLayout>

PlaceholderPanel::PlaceholderPanel(AuthToolModel *model, const QString &title, QWidget *parent)
    : QWidget(parent)
{
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(18);
    stack->addWidget(new PageTitle(title, QStringLiteral("此页面的内容将在后续版本中提供。"), this));
    stack->addWidget(OperationBanner::following(model, this));
    stack->addStretch(1);
}
