#pragma once
// Letting the calling thread's window messages through while it works.

namespace qp::gui {

// Dispatches the window messages already waiting for the calling thread, then
// returns. Does nothing on a thread that owns no window (the upload worker).
void PumpPendingMessages();

}  // namespace qp::gui
