#include "UiPalette.h"

namespace UiPalette {

QColor brandColor()
{
    return QColor::fromRgbF(0.071f, 0.22f, 0.373f);
}

QColor highlightColor()
{
    return QColor::fromRgbF(0.098f, 0.827f, 0.773f);
}

QColor infoColor()
{
    return QColor::fromRgbF(0.271f, 0.784f, 1.0f);
}

QColor aiColor()
{
    return QColor::fromRgbF(0.435f, 0.482f, 1.0f);
}

QColor softPanelColor(const QPalette &palette)
{
    return palette.color(QPalette::Base);
}

QColor sidebarColor(const QPalette &palette)
{
    return isDark(palette) ? QColor::fromRgbF(0.11f, 0.122f, 0.137f) : QColor::fromRgbF(0.952f, 0.97f, 0.985f);
}

QColor lineColor(const QPalette &palette)
{
    return withOpacity(separatorColor(palette), 0.38);
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor windowBackgroundColor(const QPalette &palette)
{
    return palette.color(QPalette::Window);
}

QColor primaryTextColor(const QPalette &palette)
{
    return palette.color(QPalette::WindowText);
}

QColor secondaryTextColor(const QPalette &palette)
{
    return withOpacity(primaryTextColor(palette), 0.55);
}

QColor separatorColor(const QPalette &palette)
{
    return withOpacity(primaryTextColor(palette), 0.22);
}

QColor focusRingColor(const QPalette &palette)
{
    return withOpacity(isDark(palette) ? QColor(10, 132, 255) : QColor(0, 122, 255), 0.8);
}

QColor green()
{
    return QColor(40, 180, 75);
}

QColor orange()
{
    return QColor(255, 149, 0);
}

QColor red()
{
    return QColor(255, 59, 48);
}

QColor toneColor(OperationTone tone)
{
    switch (tone) {
    case OperationTone::Info:
        return brandColor();
    case OperationTone::Success:
        return green();
    case OperationTone::Warning:
        return orange();
    case OperationTone::Error:
        return red();
    }
    return brandColor();
}

QColor legibleOn(const QPalette &palette, const QColor &color)
{
    if (!isDark(palette) || color.lightnessF() >= 0.45f)
        return color;
    return QColor::fromHslF(color.hslHueF(), color.hslSaturationF(), 0.68f, color.alphaF());
}

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

} // namespace UiPalette
