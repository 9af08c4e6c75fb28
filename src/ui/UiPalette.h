#pragma once

#include "core/OperationTone.h"

#include <QColor>
#include <QPalette>

// The window's colours. Fixed brand colours plus system colours resolved against the palette a
// widget is drawn with, so light and dark follow the desktop without a restart.
namespace UiPalette {

QColor brandColor();
QColor highlightColor();
QColor infoColor();
QColor aiColor();
QColor softPanelColor(const QPalette &palette);
QColor sidebarColor(const QPalette &palette);
QColor lineColor(const QPalette &palette);

// System colours of the desktop.
bool isDark(const QPalette &palette);
QColor windowBackgroundColor(const QPalette &palette);
QColor primaryTextColor(const QPalette &palette);
QColor secondaryTextColor(const QPalette &palette);
QColor separatorColor(const QPalette &palette);
// The keyboard focus ring: the system accent blue, slightly transparent, as on macOS.
QColor focusRingColor(const QPalette &palette);
QColor green();
QColor orange();
QColor red();

QColor toneColor(OperationTone tone);
// A colour for text and symbols drawn on the palette's window: dark colours are lifted on a dark
// window so they stay readable (the brand navy would vanish there).
QColor legibleOn(const QPalette &palette, const QColor &color);
// The colour at a fraction of its own opacity.
QColor withOpacity(QColor color, qreal opacity);

} // namespace UiPalette
