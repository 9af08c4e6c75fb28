#include "ResourceImage.h"

#include "ui/BundledImage.h"
#include "ui/SymbolGlyphs.h"
#include "ui/UiPalette.h"

#include <QPainter>

ResourceImage::ResourceImage(const QString &name, const QString &ext, const QString &fallbackSystemName,
                             const AppBundle &bundle, QWidget *parent)
    : QWidget(parent)
    , m_name(name)
    , m_ext(ext)
    , m_fallbackSystemName(fallbackSystemName)
    , m_bundle(bundle)
{
}

void ResourceImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QImage image = bundledImage(m_name, m_ext, m_bundle);
    if (image.isNull()) {
        SymbolGlyphs::draw(painter, QRectF(rect()), m_fallbackSystemName, 24, UiPalette::highlightColor());
        return;
    }
    // Scale in one smooth step to device pixels: the painter's own scaling of a large picture aliases.
    const qreal ratio = devicePixelRatioF();
    QImage scaled = image.scaled((QSizeF(size()) * ratio).toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    const QSizeF shown = QSizeF(scaled.size()) / ratio;
    painter.drawImage(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), scaled);
}
