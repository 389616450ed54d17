#pragma once
// Which thread runs the GTK main loop, for the pumping functions that must
// touch GTK there and nowhere else.

namespace qp::gui::posix {

// Called by the GTK window on the thread that initialised GTK.
void MarkGtkUiThread();
// True on that thread once it is marked.
bool OnGtkUiThread();

}  // namespace qp::gui::posix
