#include "BundledImage.h"

#include <QImageReader>

QImage bundledImage(const QString &name, const QString &ext, const QString &dataDir)
{
    if (dataDir.isEmpty() || name.isEmpty() || name.contains(QLatin1Char('/')) || ext.contains(QLatin1Char('/')))
        return {};
    const QString path = dataDir + QLatin1Char('/') + name + QLatin1Char('.') + ext;
    // The content decides the format, as on the Mac: a PNG saved as ".jpg" still loads.
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}
