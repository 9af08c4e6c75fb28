#pragma once

#include "ui/AppPage.h"

#include <QMap>
#include <QWidget>

class AuthToolModel;
class SidebarItem;
class SmallStatusPill;

// The window's left column: app header, one row per page, and the network pill at the bottom.
// Its colour follows light and dark without a restart.
class Sidebar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int fixedWidth = 230;

    explicit Sidebar(AuthToolModel *model, QWidget *parent = nullptr);

    void setActivePage(AppPage page);
    SidebarItem *item(AppPage page) const { return m_items.value(page); }
    SmallStatusPill *networkPill() const { return m_networkPill; }

Q_SIGNALS:
    void pageChosen(AppPage page);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QWidget *createHeader();
    void syncNetworkPill();
    void stepFrom(AppPage page, int step);

    AuthToolModel *m_model;
    QMap<AppPage, SidebarItem *> m_items;
    SmallStatusPill *m_networkPill = nullptr;
};
