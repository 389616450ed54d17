#include "shell/send_to.h"

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/gui.h"
#include "platform/process.h"
#include "platform/shell_link.h"
#include "shell/paths.h"

namespace qp::shell {
namespace {

using codepage::SystemText;

constexpr int kStartMenu = 5;

void Tell(const SendToUi& ui, const char* utf8, std::uint32_t icon) {
  ui.showMessage(SystemText(utf8), gui::kMbOk | icon, SystemText("提示"));
}

}  // namespace

Text SendToTargetPath() {
  return JoinPath(process::RunDirectory(), shelllink::ExecutableName());
}

std::vector<Text> SendToShortcutPaths() {
  const Text parent = ParentFolderPath(SpecialFolderPath(kStartMenu));
  std::vector<Text> paths;
  for (const Text& name : shelllink::SendToEntryNames())
    paths.push_back(parent + name);
  return paths;
}

void InstallSendToShortcut(const SendToUi& ui) {
  const Text target = SendToTargetPath();
  // A folder under the executable's name can't be started, so it does not
  // count as the executable.
  const auto entry = files::FindEntry(target);
  bool saved = entry && !entry->isDirectory;
  if (saved) {
    const Text workingDirectory = FolderOfPath(target);
    for (const Text& path : SendToShortcutPaths())
      saved = shelllink::CreateShellLink(path, target, workingDirectory) && saved;
  }
  if (!saved) {
    Tell(ui, "失败！请检查信息或以管理员身份运行。", gui::kMbIconError);
    return;
  }
  Tell(ui, "成功！", gui::kMbIconInformation);
  ui.exitProgram();
}

void RemoveSendToShortcut(const SendToUi& ui) {
  bool deleted = false;
  for (const Text& path : SendToShortcutPaths())
    deleted = files::DeleteFile(path) || deleted;
  if (!deleted) {
    Tell(ui, "删除失败！请检查信息或以管理员身份运行。", gui::kMbIconError);
    return;
  }
  Tell(ui, "删除成功！", gui::kMbIconInformation);
  ui.exitProgram();
}

}  // namespace qp::shell
