#include "ResourceImage.h"

#include "ui/BundledImage.h"
#include "ui/SymbolGlyphs.h"
#include "ui/UiPalette.h"

#include <QPainter>

ResourceImage::ResourceImage(const QString &name, const QString &ext, const QString &fallbackSystemName,
                             const QString &dataDir, QWidget *parent)
    : QWidget(parent)
    , m_name(name)
    , m_ext(ext)
    , m_fallbackSystemName(fallbackSystemName)
    , m_dataDir(dataDir)
{
}

void ResourceImage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_loaded = false;
}

void ResourceImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_loaded) {
        m_image = bundledImage(m_name, m_ext, m_dataDir);
        m_scaled = QImage();
        m_loaded = true;
    }
    if (m_image.isNull()) {
        SymbolGlyphs::draw(painter, QRectF(rect()), m_fallbackSystemName, 24, UiPalette::highlightColor());
        return;
    }
    // Scale in one smooth step to device pixels: the painter's own scaling of a large picture aliases.
    const qreal ratio = devicePixelRatioF();
    const QSize target = (QSizeF(size()) * ratio).toSize();
    const QSize fitted = m_image.size().scaled(target, Qt::KeepAspectRatio);
    if (m_scaled.isNull() || m_scaled.size() != fitted || m_scaled.devicePixelRatio() != ratio) {
        m_scaled = m_image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        m_scaled.setDevicePixelRatio(ratio);
    }
    const QSizeF shown = QSizeF(m_scaled.size()) / ratio;
    painter.drawImage(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), m_scaled);
}
