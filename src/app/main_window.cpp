#include "app/main_window.h"

#include "app/command_line.h"
#include "app/program.h"
#include "app/session_check.h"
#include "app/settings.h"
#include "platform/codepage.h"
#include "shell/send_to.h"

namespace qp::app {
namespace {

using codepage::SystemText;
using gui::ControlKind;

const process::CommandLine* given_command_line = nullptr;

shell::SendToUi SendToUi() {
  return {ShowMessage, ExitProgram};
}

}  // namespace

gui::Form MainForm() {
  gui::Form f;
  f.title = SystemText("我");
  f.left = 50;
  f.top = 50;
  f.width = 461;
  f.height = 95;
  // In the order of app::form; the three in 分组框1 count from its corner.
  f.controls = {
      {ControlKind::kGroupBox, SystemText("分组框1"), {}, 2, 10, 448, 64, "", false},
      {ControlKind::kLabel, SystemText("标签1"), form::分组框1, 14, 22, 232, 25,
       SystemText("选择文件-鼠标右键-发送到-Quillpost"), true},
      {ControlKind::kButton, SystemText("按钮_关联右键"), form::分组框1, 256, 22, 64, 24,
       SystemText("关联右键"), true},
      {ControlKind::kButton, SystemText("按钮_取消关联"), form::分组框1, 320, 22, 64, 24,
       SystemText("取消关联"), true},
      {ControlKind::kLabel,
       SystemText("标签2"),
       {},
       10,
       10,
       448,
       73,
       SystemText("正在创建链接..."),
       true},
  };
  return f;
}

void OnMainWindowCreated() {
  const process::CommandLine& line = *given_command_line;
  Arguments() = line.whole ? SplitCommandLine(*line.whole) : line.split;
  SessionCookies() = ReadSetting("cookies");
  const Text username = ReadSetting("username");
  const Text password = ReadSetting("password");

  if (!Arguments().empty()) {
    CheckSession(username, password);
    return;
  }
  if (ProgramGui().IsTerminal()) {
    // The buttons need a window; without one the user learns what to do
    // instead of waiting on nothing.
    ShowMessage(
        SystemText("没有图形桌面：请在桌面会话中启动以关联右键菜单，或把要发布的文件作为参数"),
        gui::kMbOk | gui::kMbIconError, SystemText("错误"));
    return;
  }
  ShowAssociationLook();
}

void OnMainWindowClicked(gui::ControlId control) {
  if (control == form::按钮_关联右键)
    shell::InstallSendToShortcut(SendToUi());
  else if (control == form::按钮_取消关联)
    shell::RemoveSendToShortcut(SendToUi());
}

int RunProgram(gui::Gui& gui, const process::CommandLine& commandLine) {
  UseGui(&gui);
  given_command_line = &commandLine;
  Arguments().clear();
  gui.CreateMainWindow(MainForm(), {OnMainWindowCreated, OnMainWindowClicked});
  gui.RunMessageLoop();
  ReleaseGlobals();
  const int exitCode = ExitCode();
  given_command_line = nullptr;
  UseGui(nullptr);
  return exitCode;
}

int ProgramStart(int argc, char** argv) {
  process::StartUp(argc, argv);
  std::unique_ptr<gui::Gui> gui = gui::OpenGui();
  return RunProgram(*gui, process::GivenCommandLine());
}

}  // namespace qp::app
