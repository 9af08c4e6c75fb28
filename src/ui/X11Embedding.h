#pragma once

#include <QtGlobal>

// The few X11 requests that embedding another program's window takes and Qt does not make for a
// window it does not own. No-ops under any other platform.
namespace X11Embedding {

// Gives the keyboard (the X input focus) to `window`, as a click does.
void giveKeyboard(quint32 window);
// Takes another program's `child` window out of ours, unmapped, before ours goes: X would destroy
// it with ours, under that program's feet.
void release(quint32 child);
// Whether this program's `window` takes key events. X hands a key to the window under the pointer
// when that lies inside the window with the keyboard: an embedded window that is not to have the
// keyboard must not take them, or a key typed in the tool with the pointer over a page goes to it.
void takeKeyEvents(quint32 window, bool take);

} // namespace X11Embedding
