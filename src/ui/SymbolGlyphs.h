#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QRectF>
#include <QString>

class QPainter;

// SF Symbols names used by the pages, drawn as Material Icons ligatures.
namespace SymbolGlyphs {

// Every SF Symbols name the window uses, mapped to its Material Icons ligature.
const QHash<QString, QString> &table();
// The ligature for a symbol name; empty for a name the table does not know.
QString ligature(const QString &symbolName);
// The icon font sized so a glyph matches a system-font symbol of the given point size.
QFont font(qreal points);
// Side of the square a symbol of that size occupies.
qreal extent(qreal points);
// Draws the symbol centred in the rectangle; an unknown name draws nothing.
void draw(QPainter &painter, const QRectF &rect, const QString &symbolName, qreal points, const QColor &color);

} // namespace SymbolGlyphs
