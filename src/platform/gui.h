#pragma once
// The program's one window and its controls, message boxes, the message loop
// and the worker thread that runs beside it. The logic of the window's modes
// lives above this seam and is tested against FakeGui (gui_fake.h); the
// implementations below it stay thin.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace qp::gui {

// Message box flags, as MessageBoxA's uType spells them.
constexpr std::uint32_t kMbOk = 0x0;
constexpr std::uint32_t kMbIconError = 0x10;
constexpr std::uint32_t kMbIconQuestion = 0x20;
constexpr std::uint32_t kMbIconWarning = 0x30;
constexpr std::uint32_t kMbIconInformation = 0x40;
constexpr std::uint32_t kMbIconMask = 0xF0;
constexpr std::uint32_t kMbSystemModal = 0x1000;
constexpr std::uint32_t kMbTaskModal = 0x2000;

// Extended window styles and layering flags, as Windows spells them.
constexpr std::uint32_t kWsExTransparent = 0x20;
constexpr std::uint32_t kWsExLayered = 0x80000;
constexpr std::uint32_t kLwaColorKey = 1;
constexpr std::uint32_t kLwaAlpha = 2;

// A control is named by its index in Form::controls.
using ControlId = int;

enum class ControlKind { kGroupBox, kLabel, kButton };

struct Control {
  ControlKind kind = ControlKind::kLabel;
  Text name;                        // the form's name for it
  std::optional<ControlId> parent;  // the group box it sits in; none: the client area
  int left = 0, top = 0;            // from the parent's top-left corner
  int width = 0, height = 0;
  Text text;  // a group box's caption (none here), a label's or a button's text
  bool visible = true;
};

// The window as the form lays it out. The window's own position is on the
// screen; its size is that of its client area, where the controls go.
struct Form {
  Text title;
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<Control> controls;
};

struct Events {
  // Runs on the UI thread once the window and its controls exist, before the
  // window is shown and before the message loop starts.
  std::function<void()> created;
  // A push button was clicked; runs on the UI thread.
  std::function<void(ControlId)> clicked;
};

class Gui {
 public:
  virtual ~Gui() = default;

  // The terminal form: no window; message boxes and text changes are lines on
  // standard error, and where the window would wait for the user the message
  // loop ends instead.
  virtual bool IsTerminal() const = 0;

  // Creates the window from `form`, runs events.created, then shows it.
  virtual void CreateMainWindow(const Form& form, Events events) = 0;
  // Dispatches messages until the window is closed. The terminal form waits
  // for the worker thread when one was started, and returns at once when not.
  virtual void RunMessageLoop() = 0;

  // A control's text and visibility; callable from any thread. From another
  // thread the change is handed to the UI thread, which applies it when it
  // next dispatches messages; the caller does not wait.
  virtual void SetText(ControlId control, const Text& text) = 0;
  virtual void SetVisible(ControlId control, bool visible) = 0;

  // The rest belongs to the UI thread.
  // Puts a control above its siblings without moving, resizing or
  // activating it.
  virtual void BringToTop(ControlId control) = 0;
  // Puts the window into the topmost band of the desktop, without moving,
  // resizing or activating it.
  virtual void SetTopmost() = 0;
  // The window's extended style (GWL_EXSTYLE) and layering
  // (SetLayeredWindowAttributes). The GTK window draws the colour key white
  // as transparent where the desktop composites and leaves the window opaque
  // elsewhere; alpha is its opacity.
  virtual std::uint32_t ExtendedStyle() = 0;
  virtual void SetExtendedStyle(std::uint32_t style) = 0;
  virtual void SetLayeredAttributes(std::uint32_t colorKey, std::uint8_t alpha,
                                    std::uint32_t flags) = 0;

  // A message box without owner, titled `caption`, with an OK button and the
  // icon of `flags`, from any thread: the caller blocks until it is
  // dismissed. Its text also goes to standard error as one line. The terminal
  // form writes the line and returns.
  virtual void ShowMessage(const Text& text, std::uint32_t flags, const Text& caption) = 0;

  // Waits `milliseconds` while dispatching the calling thread's messages;
  // false at once when the wait can't be set up.
  virtual bool WaitDispatchingMessages(std::uint32_t milliseconds) = 0;

  // Starts the worker thread; false when it can't be started.
  virtual bool StartThread(std::function<void()> body) = 0;

  // Ends the process with `exitCode` from any thread. It does not return,
  // except under FakeGui, which records the code and returns: callers return
  // right after it.
  virtual void EndProcess(int exitCode) = 0;
};

// The GUI of this process: the window when a desktop is there (on POSIX,
// DISPLAY or WAYLAND_DISPLAY set and the display reachable), the terminal
// form otherwise.
std::unique_ptr<Gui> OpenGui();

}  // namespace qp::gui
