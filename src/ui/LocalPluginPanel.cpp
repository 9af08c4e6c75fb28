#include "LocalPluginPanel.h"

#include "ui/OperationBanner.h"
#include "ui/PageTitle.h"
#include "ui/PluginCard.h"
#include "ui/TextLine.h"
#include "ui/UiFont.h"

#include <QVBoxLayout>

LocalPluginPanel::LocalPluginPanel(AuthToolModel *model, QWidget *parent)
    : PageScrollFrame(maximumColumnWidth, parent)
{
    QWidget *content = column();
    stack()->addWidget(
        new PageTitle(QStringLiteral("本机插件"), QStringLiteral("管理 WPS 表格中的 Corvanta分析 插件。"), content));
    stack()->addWidget(OperationBanner::following(model, content));
    m_pluginCard = new PluginCard(model, content);
    stack()->addWidget(m_pluginCard);
    stack()->addSpacing(8);
    stack()->addWidget(new TextLine(QStringLiteral("后续若有更多 Corvanta 插件，会在此处一并管理。"),
                                    UiFont::system(11), TextLine::Style::Secondary, content));
}
