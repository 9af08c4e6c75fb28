#include "Accessibility.h"

#include <QAccessible>
#include <QWidget>

namespace Accessibility {

void announce(QWidget *widget, const QString &text)
{
    if (widget->accessibleName() == text)
        return;
    widget->setAccessibleName(text);
    if (text.isEmpty())
        return;
    QAccessibleEvent nameChanged(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
    QAccessibleEvent alert(widget, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

} // namespace Accessibility
