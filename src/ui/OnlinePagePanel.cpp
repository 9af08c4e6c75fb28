#include "OnlinePagePanel.h"

#include "model/AuthToolModel.h"
#include "ui/OfflinePanel.h"
#include "ui/OnlineTab.h"
#include "ui/OperationBanner.h"
#include "ui/PageTitle.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"
#include "ui/WebView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

OnlinePagePanel::OnlinePagePanel(AuthToolModel *model, const QString &title, const QString &subtitle,
                                 QList<OnlineDestination> entries, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_entries(std::move(entries))
{
    Q_ASSERT(!m_entries.isEmpty());
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(18);
    stack->addWidget(new PageTitle(title, subtitle, this));
    // Sign-in and sign-out on the site report here.
    stack->addWidget(OperationBanner::following(model, this));

    if (m_entries.size() >= 2) {
        auto *row = new QHBoxLayout;
        row->setSpacing(8);
        for (int index = 0; index < m_entries.size(); ++index) {
            const OnlineDestination &entry = m_entries.at(index);
            auto *tab = new OnlineTab(entry.symbol, entry.title, entryColor(entry), this);
            connect(tab, &OnlineTab::clicked, this, [this, index] { setSelectedIndex(index); });
            row->addWidget(tab);
            m_tabs.append(tab);
        }
        row->addStretch(1);
        stack->addLayout(row);
    }

    m_detail = new QLabel(this);
    m_detail->setFont(UiFont::system(12));
    stack->addWidget(m_detail);

    m_browserArea = new QVBoxLayout;
    m_browserArea->setContentsMargins(0, 0, 0, 0);
    stack->addLayout(m_browserArea, 1);

    updateDetail();
    showConnectivity(model->isOnline());
    connect(model, &AuthToolModel::isOnlineChanged, this, &OnlinePagePanel::showConnectivity);
}

OnlinePagePanel *OnlinePagePanel::servicePlanPage(AuthToolModel *model, QWidget *parent)
{
    return new OnlinePagePanel(model, QStringLiteral("服务方案"), QStringLiteral("查看 Corvanta 可购买套餐与服务方案。"),
                               OnlineDestination::servicePlanEntries(), parent);
}

OnlinePagePanel *OnlinePagePanel::accountSettingsPage(AuthToolModel *model, QWidget *parent)
{
    return new OnlinePagePanel(model, QStringLiteral("账户设置"), QStringLiteral("账单、积分、API 和 AI 设置。"),
                               OnlineDestination::accountEntries(), parent);
}

QColor OnlinePagePanel::entryColor(const OnlineDestination &entry)
{
    if (entry.title.contains(QLatin1String("AI")))
        return UiPalette::aiColor();
    if (entry.title.contains(QStringLiteral("积分")))
        return UiPalette::highlightColor();
    return UiPalette::brandColor();
}

const OnlineDestination &OnlinePagePanel::currentEntry() const
{
    return m_entries.at(qBound(0, m_selectedIndex, int(m_entries.size()) - 1));
}

void OnlinePagePanel::setSelectedIndex(int index)
{
    m_selectedIndex = index;
    updateDetail();
    // The same browser stays; it loads only when the address differs from the one it has.
    if (m_webView)
        m_webView->setUrl(m_model->webURL(currentEntry().path));
    nameWebView();
}

void OnlinePagePanel::nameWebView()
{
    if (m_webView)
        m_webView->setPageName(currentEntry().title + QStringLiteral("（网页）"));
}

QString OnlinePagePanel::detailText() const
{
    return m_detail->text();
}

void OnlinePagePanel::updateDetail()
{
    for (int tab = 0; tab < m_tabs.size(); ++tab)
        m_tabs.at(tab)->setSelected(tab == m_selectedIndex);
    m_detail->setText(currentEntry().detail);
    QPalette colours = m_detail->palette();
    colours.setColor(QPalette::WindowText, UiPalette::secondaryTextColor(palette()));
    m_detail->setPalette(colours);
}

void OnlinePagePanel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_detail)
        updateDetail();
}

// Offline the browser goes (and with it the page it showed); back online a new one loads the
// selected entry afresh.
void OnlinePagePanel::showConnectivity(bool online)
{
    // Under a policy without the vendor's pages (or with a mirror instead of the vendor), the page
    // says why once and never tries the network.
    const ManagedPolicy &policy = m_model->policy();
    if (!policy.showsOnlinePages() || policy.mirror()) {
        if (!m_offlinePanel) {
            m_offlinePanel = new OfflinePanel(QStringLiteral("在线页面不可用"),
                                              QStringLiteral("本机的管理策略不提供 Corvanta 在线页面；本机插件仍可管理。如有疑问请联系 IT 部门。"),
                                              this);
            m_browserArea->addWidget(m_offlinePanel);
        }
        return;
    }
    if (online && !m_webView) {
        delete m_offlinePanel;
        m_webView = new WebView(m_model->webURL(currentEntry().path), true, this);
        connect(m_webView, &WebView::ownSchemeNavigation, this,
                [this](const QUrl &address, const QUrl &fromPage) { handOverAccountChange(address, fromPage); });
        nameWebView();
        m_browserArea->addWidget(m_webView);
        if (isVisible())
            m_webView->show();
    } else if (!online && !m_offlinePanel) {
        delete m_webView;
        m_offlinePanel = new OfflinePanel(this);
        m_browserArea->addWidget(m_offlinePanel);
        if (isVisible())
            m_offlinePanel->show();
    }
}

QCoro::Task<> OnlinePagePanel::handOverAccountChange(QUrl address, QUrl fromPage)
{
    QPointer<OnlinePagePanel> self(this);
    co_await m_model->acceptAccountHandoff(std::move(address), std::move(fromPage));
    // The site shows the signed-in (or signed-out) state of the current entry.
    if (self && self->m_webView)
        self->m_webView->reload();
}
