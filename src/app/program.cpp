#include "app/program.h"

#include <atomic>

namespace qp::app {
namespace {

std::vector<Text> arguments;
Text session_cookies;
gui::Gui* program_gui = nullptr;
// Set by the first message with the error icon; read by whichever thread
// ends the process.
std::atomic<bool> failure_shown{false};

}  // namespace

std::vector<Text>& Arguments() {
  return arguments;
}

Text& SessionCookies() {
  return session_cookies;
}

void ReleaseGlobals() {
  std::vector<Text>().swap(arguments);
  Text().swap(session_cookies);
}

void UseGui(gui::Gui* gui) {
  program_gui = gui;
  failure_shown = false;
}

gui::Gui& ProgramGui() {
  return *program_gui;
}

void ShowMessage(const Text& text, std::uint32_t flags, const Text& caption) {
  if (!(flags & gui::kMbSystemModal))
    flags |= gui::kMbTaskModal;
  if ((flags & gui::kMbIconMask) == gui::kMbIconError)
    failure_shown = true;
  ProgramGui().ShowMessage(text, flags, caption);
}

int ExitCode() {
  return ProgramGui().IsTerminal() && failure_shown ? 1 : 0;
}

void ExitProgram() {
  ReleaseGlobals();
  ProgramGui().EndProcess(ExitCode());
}

void ShowAssociationLook() {
  ProgramGui().SetVisible(form::标签2, false);
  ProgramGui().SetVisible(form::分组框1, true);
}

void ShowUploadLook() {
  ProgramGui().SetTopmost();
  SetWindowLayering(0, 0xFFFFFF, false);
}

void ShowAssociationLookAfterMissingAccount() {
  ProgramGui().BringToTop(form::分组框1);
  ProgramGui().SetVisible(form::标签2, false);
  ProgramGui().SetVisible(form::分组框1, true);
}

void SetWindowLayering(std::uint8_t alpha, std::uint32_t colorKey, bool keep) {
  gui::Gui& gui = ProgramGui();
  if (keep)
    gui.SetExtendedStyle(gui.ExtendedStyle() | gui::kWsExTransparent | gui::kWsExLayered);
  else
    gui.SetExtendedStyle(gui::kWsExLayered);
  std::uint32_t flags = gui::kLwaColorKey | gui::kLwaAlpha;
  if (colorKey == 0)
    flags = gui::kLwaAlpha;
  else if (alpha == 0)
    flags = gui::kLwaColorKey;
  gui.SetLayeredAttributes(colorKey, alpha, flags);
}

void SetStatusText(const Text& text) {
  ProgramGui().SetText(form::标签2, text);
}

bool StartWorkerThread(std::function<void()> body) {
  return ProgramGui().StartThread(std::move(body));
}

bool WaitDispatchingMessages(std::uint32_t milliseconds) {
  return ProgramGui().WaitDispatchingMessages(milliseconds);
}

}  // namespace qp::app
