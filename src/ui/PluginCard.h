#pragma once

#include "core/PluginInstallState.h"

#include <QWidget>

class AuthToolModel;
class DownloadProgressBar;
class InlineButton;
class MenuButton;
class QAction;
class TextLine;

// The add-in's card on the local plugin page: badge, name, version line and the button that
// installs, updates or checks, the download's progress, and a menu for repair and uninstall.
class PluginCard : public QWidget
{
    Q_OBJECT

public:
    static inline const QString productLine = QStringLiteral("DIP/DRG 病案分析工作台");
    static inline const QString displayName = QStringLiteral("RUV ozuz");

    explicit PluginCard(AuthToolModel *model, QWidget *parent = nullptr);

    // Null texts stand for absent versions.
    static QString primaryButtonText(PluginInstallState state, const QString &latest);
    static QString versionLine(PluginInstallState state, const QString &installed, const QString &latest);

    QString versionLineText() const;
    InlineButton *primaryButton() const { return m_primaryButton; }
    MenuButton *moreButton() const { return m_moreButton; }
    DownloadProgressBar *progressBar() const { return m_progressBar; }
    QAction *repairAction() const { return m_repairAction; }
    QAction *uninstallAction() const { return m_uninstallAction; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void sync();
    void startPrimaryAction();

    AuthToolModel *m_model;
    TextLine *m_versionLine = nullptr;
    InlineButton *m_primaryButton = nullptr;
    DownloadProgressBar *m_progressBar = nullptr;
    MenuButton *m_moreButton = nullptr;
    QAction *m_repairAction = nullptr;
    QAction *m_uninstallAction = nullptr;
    QAction *m_uninstallSeparator = nullptr;
};
