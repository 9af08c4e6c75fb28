#pragma once

#include "platform/ToolFiles.h"

#include <QList>
#include <QWidget>

class AuthToolModel;
class DisclosureGroup;
class InlineButton;

// The "帮助支持" page: how the tool is used, shortcuts to the vendor's pages in the default browser,
// and the vendor's contact card folded away until asked for.
class GuidePanel : public QWidget
{
    Q_OBJECT

public:
    explicit GuidePanel(AuthToolModel *model, const QString &dataDir = ToolFiles::dataDir(), QWidget *parent = nullptr);

    DisclosureGroup *contactSection() const { return m_contactSection; }
    // The "打开" buttons of the shortcuts, in order: service plans, online tool, company site.
    const QList<InlineButton *> &shortcutButtons() const { return m_shortcutButtons; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void followConnectivity(bool online);

    AuthToolModel *m_model;
    DisclosureGroup *m_contactSection = nullptr;
    QList<InlineButton *> m_shortcutButtons;
};
