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

} // namespace X11Embedding
