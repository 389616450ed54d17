#pragma once
// Putting the program into the file manager's Send To menu and taking it out:
// the click handlers of the buttons "关联右键" and "取消关联".

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/text.h"

namespace qp::shell {

// What the handlers need of the application: its message box and its orderly
// exit. exitProgram does not return in a real process; under a test it may,
// and the handler then returns at once.
struct SendToUi {
  std::function<void(const Text& text, std::uint32_t flags, const Text& caption)> showMessage;
  std::function<void()> exitProgram;
};

// The executable the entries point at: the run directory and the fixed
// executable name ("quillpost" on Linux), not the running file's own name.
Text SendToTargetPath();

// Where the entries go: the parent of the Start Menu folder joined with each
// of the platform's entry names. Without a Start Menu folder the names stay
// relative, and resolve against the current directory, the run directory.
std::vector<Text> SendToShortcutPaths();

// Writes every entry when the target exists, then says "成功！" and ends the
// program; otherwise says "失败！请检查信息或以管理员身份运行。" and returns.
void InstallSendToShortcut(const SendToUi& ui);

// Deletes the entries; when at least one was there, says "删除成功！" and ends
// the program; otherwise says "删除失败！请检查信息或以管理员身份运行。" and
// returns.
void RemoveSendToShortcut(const SendToUi& ui);

}  // namespace qp::shell
