#pragma once

#include <QWidget>

class AuthToolModel;
class InlineButton;

// The overview's orange notice that a newer add-in is out, with the button that installs it.
class UpdateAvailableBanner : public QWidget
{
    Q_OBJECT

public:
    explicit UpdateAvailableBanner(AuthToolModel *model, QWidget *parent = nullptr);

    // installedVersion: a null text when no version is installed or known.
    void setVersions(const QString &latestVersion, const QString &installedVersion);
    QString headline() const;
    QString detail() const;
    InlineButton *updateButton() const { return m_updateButton; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void syncButton();
    int textBlockHeight() const;

    AuthToolModel *m_model;
    QString m_latestVersion;
    QString m_installedVersion;
    InlineButton *m_updateButton = nullptr;
};
