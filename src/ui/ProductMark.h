#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// The product's mark: a navy rounded tile with an open teal "C" and, where there is room, three
// rising white bars. Drawn, not scaled from a picture, so the smallest icon sizes stay legible.
namespace ProductMark {

inline const QColor navy = QColor::fromRgbF(0.071f, 0.22f, 0.373f);
inline const QColor teal = QColor::fromRgbF(0.098f, 0.827f, 0.773f);

void paint(QPainter *painter, const QRectF &tile);

} // namespace ProductMark
