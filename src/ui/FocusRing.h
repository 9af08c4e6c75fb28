#pragma once

#include <QPalette>
#include <QRectF>

class QPainter;
class QWidget;

// The keyboard focus ring of the custom-painted controls: a band in the desktop's accent colour
// along the control's own rounded outline, drawn inside its bounds so sizes stay as they are.
namespace FocusRing {

// True when the widget should show its ring: the controls take focus only from the keyboard.
bool shows(const QWidget *widget);
void draw(QPainter &painter, const QRectF &bounds, qreal radius, const QPalette &palette);

} // namespace FocusRing
