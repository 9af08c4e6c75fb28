#include "OverviewPanel.h"

#include "core/AppConstants.h"
#include "model/AuthToolModel.h"
#include "ui/CompactNotice.h"
#include "ui/OperationBanner.h"
#include "ui/PageTitle.h"
#include "ui/StatusTile.h"
#include "ui/UiPalette.h"
#include "ui/UpdateAvailableBanner.h"

#include <QGridLayout>
#include <QVBoxLayout>

OverviewPanel::OverviewPanel(AuthToolModel *model, QWidget *parent)
    : PageScrollFrame(maximumColumnWidth, parent)
    , m_model(model)
{
    QWidget *content = column();
    stack()->addWidget(new PageTitle(managementToolName,
                                     QStringLiteral("查看网络与 Corvanta分析 插件的整体状态，有新版本时在这里提醒。"),
                                     content));
    stack()->addWidget(OperationBanner::following(model, content));

    // Two equal columns; the tiles fill them from the leading one.
    auto *tiles = new QGridLayout;
    tiles->setSpacing(10);
    tiles->setColumnStretch(0, 1);
    tiles->setColumnStretch(1, 1);
    m_networkTile = new StatusTile(content);
    tiles->addWidget(m_networkTile, 0, 0);
    tiles->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 1);
    stack()->addLayout(tiles);

    m_updateBanner = new UpdateAvailableBanner(model, content);
    stack()->addWidget(m_updateBanner);
    // The IT department's policy, which nothing in the window changes.
    const ManagedPolicy &policy = model->policy();
    if (policy.isSet()) {
        const bool valid = policy.isValid();
        stack()->addWidget(new CompactNotice(valid ? QStringLiteral("lock") : QStringLiteral("exclamationmark.triangle"),
                                             policy.summary(), valid ? UiPalette::infoColor() : UiPalette::red(), content));
    }
    stack()->addWidget(new CompactNotice(QStringLiteral("info.circle"),
                                         QStringLiteral("插件的安装、更新、修复与卸载都在「本机插件」页完成，概览只显示整体状态与提醒。"),
                                         UiPalette::infoColor(), content));

    connect(model, &AuthToolModel::isOnlineChanged, this, &OverviewPanel::syncNetworkTile);
    connect(model, &AuthToolModel::pluginInstallStateChanged, this, &OverviewPanel::syncUpdateBanner);
    connect(model, &AuthToolModel::latestPluginVersionChanged, this, &OverviewPanel::syncUpdateBanner);
    connect(model, &AuthToolModel::installedPluginVersionPublishedChanged, this, &OverviewPanel::syncUpdateBanner);
    syncNetworkTile();
    syncUpdateBanner();
}

void OverviewPanel::syncNetworkTile()
{
    const bool online = m_model->isOnline();
    m_networkTile->setContent(online ? QStringLiteral("wifi") : QStringLiteral("wifi.slash"), QStringLiteral("网络"),
                              m_model->networkLabel(),
                              online ? QStringLiteral("服务可访问") : QStringLiteral("本机功能可用"),
                              online ? UiPalette::green() : UiPalette::orange());
}

void OverviewPanel::syncUpdateBanner()
{
    const QString latest = m_model->latestPluginVersion();
    const bool shown = m_model->pluginInstallState() == PluginInstallState::UpdateAvailable && !latest.isNull();
    if (shown)
        m_updateBanner->setVersions(latest, m_model->installedPluginVersionPublished());
    m_updateBanner->setVisible(shown);
}
