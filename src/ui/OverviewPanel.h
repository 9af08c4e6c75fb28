#pragma once

#include "ui/PageScrollFrame.h"

class AuthToolModel;
class StatusTile;
class UpdateAvailableBanner;

// The overview page: the tool's and the add-in's state at a glance, and the update when one is out.
class OverviewPanel : public PageScrollFrame
{
    Q_OBJECT

public:
    static constexpr int maximumColumnWidth = 940;

    explicit OverviewPanel(AuthToolModel *model, QWidget *parent = nullptr);

    StatusTile *networkTile() const { return m_networkTile; }
    UpdateAvailableBanner *updateBanner() const { return m_updateBanner; }

private:
    void syncNetworkTile();
    void syncUpdateBanner();

    AuthToolModel *m_model;
    StatusTile *m_networkTile = nullptr;
    UpdateAvailableBanner *m_updateBanner = nullptr;
};
