// Build-time helper for the bundle's images.
//   corvanta-bundle-images logo <out.png>          draws the wide product logo
//   corvanta-bundle-images jpeg <in.png> <out>     re-encodes a picture as JPEG
//   corvanta-bundle-images icon <size> <out.png>   draws the application's icon in one size
#include "ui/ProductMark.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

namespace {

// Three times the 138 x 42 point frame the logo is shown in, so it stays sharp on Retina screens.
constexpr int logoWidth = 414;
constexpr int logoHeight = 126;

const QColor teal = ProductMark::teal;
// Mid blue rather than the navy for the lettering: it has to read on light and dark windows alike.
const QColor letteringBlue(0x2a, 0x74, 0xb8);

QFont logoFont(int pixelSize, QFont::Weight weight)
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("PingFang SC"), QStringLiteral("Helvetica Neue")});
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QImage drawLogo()
{
    QImage image(logoWidth, logoHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // The mark, as the icons draw it.
    ProductMark::paint(&painter, QRectF(9, 9, 108, 108));

    // The lettering: the brand above the company's short name.
    painter.setPen(letteringBlue);
    painter.setFont(logoFont(52, QFont::Bold));
    painter.drawText(QRectF(134, 8, logoWidth - 134, 66), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Corvanta"));
    painter.setPen(teal.darker(115));
    painter.setFont(logoFont(27, QFont::Medium));
    painter.drawText(QRectF(137, 74, logoWidth - 137, 40), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("科凡塔 · 医疗数据"));
    painter.end();
    return image;
}

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    // A margin of a sixteenth, as icon themes leave round a square tile.
    const qreal margin = size / 16.0;
    ProductMark::paint(&painter, QRectF(margin, margin, size - 2 * margin, size - 2 * margin));
    painter.end();
    return image;
}

bool toJpeg(const QString &input, const QString &output)
{
    const QImage source(input);
    if (source.isNull())
        return false;
    // JPEG has no transparency: flatten onto white, where a QR code's quiet zone belongs anyway.
    QImage flat(source.size(), QImage::Format_RGB888);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, source);
    painter.end();
    return flat.save(output, "JPEG", 95);
}

} // namespace

int main(int argc, char *argv[])
{
    // Fonts need a GUI application; no display is needed to paint into an image.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() == 3 && args[1] == QLatin1String("logo")) {
        if (drawLogo().save(args[2], "PNG"))
            return 0;
        err << "cannot write " << args[2] << '\n';
        return 1;
    }
    if (args.size() == 4 && args[1] == QLatin1String("jpeg")) {
        if (toJpeg(args[2], args[3]))
            return 0;
        err << "cannot convert " << args[2] << " to " << args[3] << '\n';
        return 1;
    }
    if (args.size() == 4 && args[1] == QLatin1String("icon") && args[2].toInt() > 0) {
        if (drawIcon(args[2].toInt()).save(args[3], "PNG"))
            return 0;
        err << "cannot write " << args[3] << '\n';
        return 1;
    }
    err << "usage: corvanta-bundle-images logo <out.png> | jpeg <in.png> <out.jpg> | icon <size> <out.png>\n";
    return 2;
}
