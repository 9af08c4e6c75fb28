#pragma once

#include "ui/PageScrollFrame.h"

class AuthToolModel;
class PluginCard;

// The local plugin page: where the add-in is installed, updated, repaired and uninstalled.
class LocalPluginPanel : public PageScrollFrame
{
    Q_OBJECT

public:
    static constexpr int maximumColumnWidth = 900;

    explicit LocalPluginPanel(AuthToolModel *model, QWidget *parent = nullptr);

    PluginCard *pluginCard() const { return m_pluginCard; }

private:
    PluginCard *m_pluginCard = nullptr;
};
