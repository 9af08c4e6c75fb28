#pragma once

#include "ui/AppPage.h"

#include <QWidget>

class AuthToolModel;
class QVBoxLayout;
class Sidebar;

// The whole window content: sidebar, divider, and the chosen page in the main panel.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int minimumPanelWidth = 700;

    explicit ContentView(AuthToolModel *model, QWidget *parent = nullptr);

    AppPage selectedPage() const { return m_selectedPage; }
    Sidebar *sidebar() const { return m_sidebar; }
    QWidget *currentPage() const { return m_page; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showPage(AppPage page);
    QWidget *createPage(AppPage page);

    AuthToolModel *m_model;
    AppPage m_selectedPage = AppPage::Overview;
    Sidebar *m_sidebar = nullptr;
    QVBoxLayout *m_panel = nullptr;
    QWidget *m_page = nullptr;
};
