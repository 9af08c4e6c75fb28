#pragma once

#include "platform/ToolFiles.h"
#include "ui/RoundedPanel.h"

class ResourceImage;

// A QR code from the bundle on a white tile, with a title and a one-line subtitle under it.
class QRCodeCard : public RoundedPanel
{
    Q_OBJECT

public:
    QRCodeCard(const QString &title, const QString &subtitle, const QString &imageName, const QString &imageExt,
               const QString &dataDir = ToolFiles::dataDir(), QWidget *parent = nullptr);

    QString title() const { return m_title; }
    QString subtitle() const { return m_subtitle; }
    ResourceImage *image() const { return m_image; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF tileRect() const;

    QString m_title;
    QString m_subtitle;
    ResourceImage *m_image;
};
