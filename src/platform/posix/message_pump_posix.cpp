#include <glib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/message_pump.h"
#include "platform/posix/gtk_thread.h"

namespace qp::gui {
namespace posix {
namespace {
std::atomic<std::thread::id> gtk_ui_thread{};
}  // namespace

void MarkGtkUiThread() {
  gtk_ui_thread.store(std::this_thread::get_id());
}

bool OnGtkUiThread() {
  return gtk_ui_thread.load() == std::this_thread::get_id();
}

}  // namespace posix

void PumpPendingMessages() {
  if (!posix::OnGtkUiThread())
    return;
  // A source that is always ready (a running animation) would keep the queue
  // from ever draining; what is waiting now gets a bounded number of turns.
  for (int turns = 0; turns < 1000 && g_main_context_pending(nullptr); ++turns)
    g_main_context_iteration(nullptr, FALSE);
}

bool WaitDispatchingMessages(std::uint32_t milliseconds) {
  if (!posix::OnGtkUiThread()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return true;
  }
  bool due = false;
  const guint timer = g_timeout_add_full(
      G_PRIORITY_DEFAULT, milliseconds,
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &due, nullptr);
  if (timer == 0)
    return false;
  while (!due)
    g_main_context_iteration(nullptr, TRUE);
  return true;
}

}  // namespace qp::gui
