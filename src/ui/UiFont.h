#pragma once

#include <QFont>

// The system font at a size in Apple points. One point is one device-independent pixel, as on
// macOS, so the window keeps its proportions on desktops that report 96 dpi.
namespace UiFont {

QFont system(qreal points, QFont::Weight weight = QFont::Normal);

// Gives the application's default font the same face, so standard widgets and dialogs draw
// Chinese text in it too (and need no second face loaded).
void useForApplication();

} // namespace UiFont

namespace UiFont {

// Height of the text wrapped at word boundaries into the given width.
int wrappedHeight(const QFont &font, const QString &text, int width);

} // namespace UiFont
