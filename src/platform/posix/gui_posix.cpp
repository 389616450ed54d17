// Choosing the form, and the terminal form itself.

#include "platform/posix/gui_posix.h"

#include <stdlib.h>

#include <cstdio>
#include <thread>

#include "platform/message_pump.h"
#include "platform/process.h"

namespace qp::gui {
namespace posix {
namespace {

bool HasDesktop() {
  const char* x11 = ::getenv("DISPLAY");
  const char* wayland = ::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

class TerminalGui : public Gui {
 public:
  ~TerminalGui() override {
    if (worker_.joinable())
      worker_.detach();
  }

  bool IsTerminal() const override { return true; }

  void CreateMainWindow(const Form&, Events events) override {
    if (events.created)
      events.created();
  }

  void RunMessageLoop() override {
    // The worker ends the process itself; without one nobody is left to wait
    // for, as the window would wait for a user who is not there.
    if (worker_.joinable())
      worker_.join();
  }

  // The status line is what the user would have read in the window.
  void SetText(ControlId, const Text& text) override { WriteErrorLine(text); }
  void SetVisible(ControlId, bool) override {}
  void BringToTop(ControlId) override {}
  void SetTopmost() override {}
  std::uint32_t ExtendedStyle() override { return exStyle_; }
  void SetExtendedStyle(std::uint32_t style) override { exStyle_ = style; }
  void SetLayeredAttributes(std::uint32_t, std::uint8_t, std::uint32_t) override {}

  void ShowMessage(const Text& text, std::uint32_t, const Text&) override { WriteErrorLine(text); }

  bool WaitDispatchingMessages(std::uint32_t milliseconds) override {
    return gui::WaitDispatchingMessages(milliseconds);
  }

  bool StartThread(std::function<void()> body) override {
    if (worker_.joinable())
      return false;  // there is one worker at most
    try {
      worker_ = std::thread(std::move(body));
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }

  void EndProcess(int exitCode) override { process::Exit(exitCode); }

 private:
  std::uint32_t exStyle_ = 0;
  std::thread worker_;
};

}  // namespace

std::unique_ptr<Gui> OpenTerminalGui() {
  return std::make_unique<TerminalGui>();
}

void WriteErrorLine(const Text& text) {
  Text line = text;
  for (char& c : line) {
    if (c == '\n' || c == '\r')
      c = ' ';
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace posix

std::unique_ptr<Gui> OpenGui() {
  if (posix::HasDesktop()) {
    if (auto gtk = posix::OpenGtkGui())
      return gtk;
    posix::WriteErrorLine("无法打开图形桌面，改用终端方式运行 (cannot open the display)");
  }
  return posix::OpenTerminalGui();
}

}  // namespace qp::gui
