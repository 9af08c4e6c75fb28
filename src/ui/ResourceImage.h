#pragma once

#include "platform/ToolFiles.h"

#include <QImage>
#include <QWidget>

// A picture from the bundle scaled to fit the widget, or a symbol in the highlight colour when the
// bundle lacks it. Read again each time the widget is shown, so a resource put back later shows
// without a restart; between shows the decoded picture is kept and only rescaled on a resize.
class ResourceImage : public QWidget
{
    Q_OBJECT

public:
    ResourceImage(const QString &name, const QString &ext, const QString &fallbackSystemName,
                  const QString &dataDir = ToolFiles::dataDir(), QWidget *parent = nullptr);

    QString name() const { return m_name; }
    QString ext() const { return m_ext; }
    QString fallbackSystemName() const { return m_fallbackSystemName; }

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_name;
    QString m_ext;
    QString m_fallbackSystemName;
    QString m_dataDir;
    bool m_loaded = false;
    QImage m_image;
    QImage m_scaled;
};
