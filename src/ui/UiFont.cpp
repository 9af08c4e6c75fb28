#include "UiFont.h"

#include "platform/DesktopIntegration.h"

#include <QGuiApplication>

namespace UiFont {

namespace {

QStringList withPreferredFamilies(const QFont &font)
{
    QStringList families = DesktopIntegration::preferredFontFamilies();
    for (const QString &family : font.families()) {
        if (!families.contains(family))
            families.append(family);
    }
    return families;
}

} // namespace

void useForApplication()
{
    QFont font = QGuiApplication::font();
    font.setFamilies(withPreferredFamilies(font));
    QGuiApplication::setFont(font);
}

QFont system(qreal points, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    font.setFamilies(withPreferredFamilies(font));
    font.setPixelSize(qMax(1, qRound(points)));
    font.setWeight(weight);
    return font;
}

} // namespace UiFont

#include <QFontMetrics>

namespace UiFont {

int wrappedHeight(const QFont &font, const QString &text, int width)
{
    if (text.isEmpty())
        return 0;
    const QFontMetrics metrics(font);
    return metrics.boundingRect(QRect(0, 0, qMax(1, width), 100000), Qt::TextWordWrap, text).height();
}

} // namespace UiFont
