#include "UiFont.h"

#include "platform/DesktopIntegration.h"

#include <QGuiApplication>

namespace UiFont {

QFont system(qreal points, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    font.setFamilies(DesktopIntegration::preferredFontFamilies() << font.family());
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
