#pragma once

#include <QAccessible>
#include <QString>

class QWidget;

// What assistive technology hears of the painted widgets.
namespace Accessibility {

// Gives the widget the text as its accessible name and, when that changes while it shows, tells
// assistive technology so the new text is read out (status words and operation messages change
// while the user looks elsewhere).
void announce(QWidget *widget, const QString &text);

// The role assistive technology reports for a painted widget that Qt would report as a nameless
// filler: a label, a heading, a page tab, an alert, the main window's frame. A checkable button
// with the page-tab role reports its checked state as selected too. Set first in the constructor:
// Qt keeps the first interface it makes, and setting a name or a state already makes one.
void setRole(QWidget *widget, QAccessible::Role role);

} // namespace Accessibility
