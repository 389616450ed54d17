#pragma once
// The program's process-wide values and the operations every part of the
// application shell shares: the window's controls and looks, message boxes,
// the worker thread, waiting while messages are dispatched, and the orderly
// exit. Everything here reaches the system through one gui::Gui, so it runs
// the same against the GTK window, the terminal form and the tests' FakeGui.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gui.h"
#include "platform/text.h"

namespace qp::app {

// The controls of the main window, by their form names (see MainForm).
namespace form {
constexpr gui::ControlId 分组框1 = 0;
constexpr gui::ControlId 标签1 = 1;
constexpr gui::ControlId 按钮_关联右键 = 2;
constexpr gui::ControlId 按钮_取消关联 = 3;
constexpr gui::ControlId 标签2 = 4;
}  // namespace form

// The command-line arguments after the program's own path. Written on the UI
// thread before the worker starts, read by the worker afterwards, unlocked.
std::vector<Text>& Arguments();
// The session's cookie text, as read from the settings file and as every
// request that sends it rewrites it. Same threading as Arguments.
Text& SessionCookies();
// Frees Arguments and SessionCookies; runs on every orderly exit.
void ReleaseGlobals();

// The GUI the program runs on. Set by RunProgram (tests may set their own for
// the operations below); not owned.
void UseGui(gui::Gui* gui);
gui::Gui& ProgramGui();

// A message box without owner, from any thread; blocks until dismissed. The
// flags are MessageBoxA's (gui::kMb*); MB_TASKMODAL is added unless
// MB_SYSTEMMODAL is given. Its text also goes to standard error as one line.
void ShowMessage(const Text& text, std::uint32_t flags, const Text& caption);

// The exit code the process ends with: 0 in the window form, as the program
// has always ended; in the terminal form 1 once a message with the error icon
// was shown, so scripts can tell a failure.
int ExitCode();

// The orderly exit, from any thread: ReleaseGlobals, then the process ends
// with ExitCode(). It does not return, except under FakeGui; callers return
// right after it.
void ExitProgram();

// The window's looks (the controls' texts and visibility may change from any
// thread; the rest belongs to the UI thread).
// Association mode: the status line hidden, the group box with the two
// Send To buttons shown.
void ShowAssociationLook();
// Upload mode with saved cookies: always on top, then layered with alpha 0,
// colour key white and the extended style replaced, so that white is drawn
// transparent.
void ShowUploadLook();
// Upload mode without account data: the group box raised above its siblings
// (not moved, resized or activated), the status line hidden, the group box
// shown; the window then works as in association mode.
void ShowAssociationLookAfterMissingAccount();
// Makes the window layered. `colorKey` is a COLORREF (0x00BBGGRR). With
// `keep` the extended style keeps its bits and gains WS_EX_TRANSPARENT and
// WS_EX_LAYERED; without, it becomes WS_EX_LAYERED alone. A colour key of 0
// layers by alpha, an alpha of 0 by colour key, anything else by both.
void SetWindowLayering(std::uint8_t alpha, std::uint32_t colorKey, bool keep);
// The text of 标签2, the status line, from any thread.
void SetStatusText(const Text& text);

// Starts the one worker thread; false when it can't be started.
bool StartWorkerThread(std::function<void()> body);

// Waits `milliseconds` on the calling thread while dispatching its messages;
// false at once when the wait can't be set up.
bool WaitDispatchingMessages(std::uint32_t milliseconds);

}  // namespace qp::app
