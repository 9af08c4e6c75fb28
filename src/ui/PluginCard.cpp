#include "PluginCard.h"

#include "model/AuthToolModel.h"
#include "ui/DownloadProgressBar.h"
#include "ui/InlineButton.h"
#include "ui/MenuButton.h"
#include "ui/PopupMenu.h"
#include "ui/RoundedPanel.h"
#include "ui/TextLine.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
constexpr int padding = 22;
constexpr int spacing = 16;
constexpr int badgeSide = 56;
const QString separator = QStringLiteral("  \u00B7  ");
} // namespace

PluginCard::PluginCard(AuthToolModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(spacing);

    // Header: the badge is painted into the space kept for it at the leading edge.
    auto *header = new QHBoxLayout;
    constexpr int headerSpacing = 14;
    header->setSpacing(headerSpacing);
    // A spacer takes no spacing of its own, so the badge's is added to it.
    header->addSpacing(badgeSide + headerSpacing);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(new TextLine(displayName, UiFont::system(16, QFont::Bold), TextLine::Style::Primary, this));
    m_versionLine = new TextLine(QString(), UiFont::system(12), TextLine::Style::Secondary, this);
    texts->addWidget(m_versionLine);
    texts->addStretch(1);
    header->addLayout(texts, 1);
    m_primaryButton = new InlineButton(QString(), this);
    m_primaryButton->setProminent(true);
    header->addWidget(m_primaryButton, 0, Qt::AlignTop);
    auto *headerBox = new QWidget(this);
    headerBox->setMinimumHeight(badgeSide);
    headerBox->setLayout(header);
    header->setContentsMargins(0, 0, 0, 0);
    column->addWidget(headerBox);

    m_progressBar = new DownloadProgressBar(model, this);
    column->addWidget(m_progressBar);

    // Room for the divider (painted) and the spacing below it.
    column->addSpacing(1 + spacing);
    auto *maintenance = new QHBoxLayout;
    maintenance->setSpacing(8);
    maintenance->addStretch(1);
    m_moreButton = new MenuButton(QStringLiteral("更多"), this);
    auto *menu = new PopupMenu(m_moreButton);
    m_repairAction = menu->addAction(QStringLiteral("用本机缓存修复"));
    m_uninstallSeparator = menu->addSeparator();
    m_uninstallAction = menu->addAction(QStringLiteral("卸载插件"));
    PopupMenu::setDestructive(m_uninstallAction);
    m_moreButton->setMenu(menu);
    maintenance->addWidget(m_moreButton, 0, Qt::AlignTop);
    column->addLayout(maintenance);

    connect(m_primaryButton, &InlineButton::clicked, this, &PluginCard::startPrimaryAction);
    connect(m_repairAction, &QAction::triggered, model, [model] { model->repairPluginFromCache(); });
    connect(m_uninstallAction, &QAction::triggered, model, [model] { model->uninstallPlugin(); });
    connect(model, &AuthToolModel::pluginInstallStateChanged, this, &PluginCard::sync);
    connect(model, &AuthToolModel::latestPluginVersionChanged, this, &PluginCard::sync);
    connect(model, &AuthToolModel::installedPluginVersionPublishedChanged, this, &PluginCard::sync);
    connect(model, &AuthToolModel::isInstallingChanged, this, &PluginCard::sync);
    sync();
}

QString PluginCard::primaryButtonText(PluginInstallState state, const QString &latest)
{
    switch (state) {
    case PluginInstallState::Unknown:
        return QStringLiteral("安装 / 修复");
    case PluginInstallState::NotInstalled:
        return QStringLiteral("安装");
    case PluginInstallState::UpdateAvailable:
        return QStringLiteral("更新到 ") + latest;
    case PluginInstallState::UpToDate:
        return QStringLiteral("检查更新");
    }
    return {};
}

QString PluginCard::versionLine(PluginInstallState state, const QString &installed, const QString &latest)
{
    const auto orUnknown = [](const QString &version) { return version.isNull() ? QStringLiteral("?") : version; };
    switch (state) {
    case PluginInstallState::Unknown:
        return installed.isNull() ? productLine : QStringLiteral("v") + installed + separator + productLine;
    case PluginInstallState::NotInstalled:
        return QStringLiteral("未安装") + separator + productLine;
    case PluginInstallState::UpdateAvailable:
        return QStringLiteral("v") + orUnknown(installed) + QStringLiteral(" → v") + orUnknown(latest)
               + QStringLiteral(" 可用") + separator + productLine;
    case PluginInstallState::UpToDate:
        return QStringLiteral("v") + orUnknown(installed) + QStringLiteral(" (最新)") + separator + productLine;
    }
    return productLine;
}

QString PluginCard::versionLineText() const
{
    return m_versionLine->text();
}

void PluginCard::sync()
{
    const PluginInstallState state = m_model->pluginInstallState();
    m_versionLine->setText(
        versionLine(state, m_model->installedPluginVersionPublished(), m_model->latestPluginVersion()));
    m_primaryButton->setTitle(primaryButtonText(state, m_model->latestPluginVersion()));
    m_primaryButton->setBusy(m_model->isInstalling());
    // Nothing on disk, nothing to uninstall: offering it would only report a removal that never was.
    const bool installed = !m_model->installedPluginVersionPublished().isEmpty();
    m_uninstallAction->setVisible(installed);
    m_uninstallSeparator->setVisible(installed);
}

void PluginCard::startPrimaryAction()
{
    // The state at the moment of the click decides, whatever the title read when it was drawn.
    if (m_model->pluginInstallState() == PluginInstallState::UpToDate)
        m_model->checkForUpdates();
    else
        m_model->installOrRepairPlugin();
}

void PluginCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    RoundedPanel::paintFrame(painter, rect(), 14, UiPalette::softPanelColor(palette()),
                             UiPalette::lineColor(palette()));

    const QRectF badge(padding, padding, badgeSide, badgeSide);
    QPainterPath badgeShape;
    badgeShape.addRoundedRect(badge, 14, 14);
    const QColor brand = UiPalette::legibleOn(palette(), UiPalette::brandColor());
    painter.fillPath(badgeShape, UiPalette::withOpacity(brand, 0.1));
    painter.setFont(UiFont::system(14, QFont::Bold));
    painter.setPen(brand);
    painter.drawText(badge, Qt::AlignCenter, QStringLiteral("WPS"));

    const qreal dividerY = m_moreButton->geometry().top() - spacing - 0.5;
    painter.setPen(QPen(UiPalette::separatorColor(palette()), 1));
    painter.drawLine(QPointF(padding, dividerY), QPointF(width() - padding, dividerY));
}
