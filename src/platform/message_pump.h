#pragma once
// Letting the calling thread's window messages through while it works.

#include <cstdint>

namespace qp::gui {

// Dispatches the window messages already waiting for the calling thread, then
// returns. Does nothing on a thread that owns no window (the upload worker),
// nor in the terminal form.
void PumpPendingMessages();

// Waits `milliseconds` on the calling thread while dispatching the window
// messages that arrive for it meanwhile; a thread without a window just
// sleeps. The messages do not cut the wait short. false at once when the wait
// can't be set up (on Windows, a waitable timer that can't be created or
// armed).
bool WaitDispatchingMessages(std::uint32_t milliseconds);

}  // namespace qp::gui
