#include "ContentView.h"

#include "model/AuthToolModel.h"
#include "ui/GuidePanel.h"
#include "ui/LocalPluginPanel.h"
#include "ui/OnlinePagePanel.h"
#include "ui/OverviewPanel.h"
#include "ui/PlaceholderPanel.h"
#include "ui/Sidebar.h"
#include "ui/SidebarItem.h"
#include "ui/UiPalette.h"
#include "ui/WebView.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The one-pixel vertical rule between sidebar and main panel.
class VerticalDivider : public QWidget
{
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {1, 1}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), UiPalette::separatorColor(palette()));
    }
};

} // namespace

ContentView::ContentView(AuthToolModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    m_sidebar = new Sidebar(model, this);
    row->addWidget(m_sidebar);
    auto *divider = new VerticalDivider(this);
    divider->setFixedWidth(1);
    row->addWidget(divider);

    auto *panel = new QWidget(this);
    panel->setMinimumWidth(minimumPanelWidth);
    m_panel = new QVBoxLayout(panel);
    m_panel->setContentsMargins(24, 24, 24, 24);
    m_panel->setSpacing(0);
    row->addWidget(panel, 1);

    connect(m_sidebar, &Sidebar::pageChosen, this, &ContentView::showPage);
    // Signing out on the site also forgets the site's cookies.
    connect(model, &AuthToolModel::accountSignedOut, this, &WebView::clearSiteData);
    showPage(m_selectedPage);
    // Focus starts on the entry of the page shown, so a screen reader starts on a named control;
    // given without the keyboard, it wears no ring until the user reaches for Tab.
    m_sidebar->item(m_selectedPage)->setFocus(Qt::OtherFocusReason);
}

void ContentView::showPage(AppPage page)
{
    m_selectedPage = page;
    m_sidebar->setActivePage(page);
    // Pages keep no state of their own across a change of page: build the new one afresh.
    if (m_page) {
        m_panel->removeWidget(m_page);
        m_page->hide();
        m_page->deleteLater();
    }
    m_page = createPage(page);
    m_panel->addWidget(m_page);
    m_page->show();
}

QWidget *ContentView::createPage(AppPage page)
{
    switch (page) {
    case AppPage::Overview:
        return new OverviewPanel(m_model, this);
    case AppPage::LocalPlugin:
        return new LocalPluginPanel(m_model, this);
    case AppPage::ServicePlan:
        return OnlinePagePanel::servicePlanPage(m_model, this);
    case AppPage::AccountSettings:
        return OnlinePagePanel::accountSettingsPage(m_model, this);
    case AppPage::Guide:
        return new GuidePanel(m_model, ToolFiles::dataDir(), this);
    }
    return new PlaceholderPanel(m_model, appPageTitle(page), this);
}

void ContentView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), UiPalette::windowBackgroundColor(palette()));
}
