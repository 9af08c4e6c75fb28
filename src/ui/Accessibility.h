#pragma once

#include <QString>

class QWidget;

// What assistive technology hears of the painted widgets.
namespace Accessibility {

// Gives the widget the text as its accessible name and, when that changes, tells assistive
// technology so the new text is read out (status words and operation messages change while the
// user looks elsewhere).
void announce(QWidget *widget, const QString &text);

} // namespace Accessibility
