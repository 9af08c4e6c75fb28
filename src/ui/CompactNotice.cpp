#include "CompactNotice.h"

#include "ui/Accessibility.h"
#include "ui/UiFont.h"

CompactNotice::CompactNotice(const QString &symbol, const QString &text, const QColor &color, QWidget *parent)
    : NoticeStrip({13, UiFont::system(12, QFont::Medium), 8, 10, 0.08, 0.18}, parent)
{
    Accessibility::setRole(this, QAccessible::StaticText);
    setContent(symbol, text, color);
    setAccessibleName(text);
}
