#pragma once

#include "ui/OfflinePanel.h"
#include "ui/OnlineDestination.h"
#include "ui/WebView.h"

#include <QColor>
#include <QCoro/QCoroTask>
#include <QList>
#include <QPointer>
#include <QWidget>

class AuthToolModel;
class OnlineTab;
class QLabel;
class QVBoxLayout;

// A page of the vendor's site inside the tool: title, tabs when there is more than one destination,
// the chosen destination's detail line, and the browser on it while online or the offline panel.
class OnlinePagePanel : public QWidget
{
    Q_OBJECT

public:
    OnlinePagePanel(AuthToolModel *model, const QString &title, const QString &subtitle,
                    QList<OnlineDestination> entries, QWidget *parent = nullptr);
    static OnlinePagePanel *servicePlanPage(AuthToolModel *model, QWidget *parent);
    static OnlinePagePanel *accountSettingsPage(AuthToolModel *model, QWidget *parent);

    static QColor entryColor(const OnlineDestination &entry);

    const QList<OnlineDestination> &entries() const { return m_entries; }
    int selectedIndex() const { return m_selectedIndex; }
    const OnlineDestination &currentEntry() const;
    void setSelectedIndex(int index);

    QList<OnlineTab *> tabs() const { return m_tabs; }
    QString detailText() const;
    // Exactly one of the two is present.
    WebView *webView() const { return m_webView; }
    OfflinePanel *offlinePanel() const { return m_offlinePanel; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void showConnectivity(bool online);
    void updateDetail();
    void nameWebView();
    QCoro::Task<> handOverAccountChange(QUrl address, QUrl fromPage);

    AuthToolModel *m_model;
    QList<OnlineDestination> m_entries;
    int m_selectedIndex = 0;
    QList<OnlineTab *> m_tabs;
    QLabel *m_detail = nullptr;
    QVBoxLayout *m_browserArea = nullptr;
    QPointer<WebView> m_webView;
    QPointer<OfflinePanel> m_offlinePanel;
};
