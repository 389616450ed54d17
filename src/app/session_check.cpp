#include "app/session_check.h"

#include "cloud/account_login.h"
#include "cloud/exchange.h"
#include "cloud/origins.h"
#include "cloud/texts.h"

namespace qp::app {
namespace {

using cloud::SystemText;

void ShowError(const SessionCheckContext& c, const char* utf8) {
  c.gui->ShowMessage(SystemText(utf8), gui::kMbOk | gui::kMbIconError, SystemText("错误"));
}

// Signs in and saves the new cookie text; false when the console refused.
bool SignIn(const SessionCheckContext& c, const Text& username, const Text& password) {
  if (!cloud::AccountLogin(username, password, c.sessionCookies))
    return false;
  c.writeSetting("cookies", *c.sessionCookies);
  return true;
}

}  // namespace

void CheckSession(const SessionCheckContext& c, const Text& username, const Text& password) {
  Text status;
  if (!c.sessionCookies->empty()) {
    // The upload look: always on top, white drawn transparent.
    c.gui->SetTopmost();
    c.gui->SetExtendedStyle(gui::kWsExLayered);
    c.gui->SetLayeredAttributes(0xFFFFFF, 0, gui::kLwaColorKey);
    cloud::Exchange probe;
    probe.url = cloud::Origins().account + "/mydisk.php";
    probe.cookies = c.sessionCookies;
    if (cloud::Send(std::move(probe)).find(SystemText("我的文件")) != Text::npos) {
      status = SystemText("上传文件...");
    } else if (SignIn(c, username, password)) {
      status = SystemText("判断账号信息...");
    } else {
      ShowError(c, "登录失败");
      c.gui->EndProcess(0);
      return;
    }
  } else if (!username.empty() && !password.empty()) {
    if (!SignIn(c, username, password)) {
      ShowError(c, "判断账号信息 -1");
      c.gui->EndProcess(0);
      return;
    }
    status = SystemText("判断账号信息...");
  } else {
    ShowError(c, "未配置账号信息，ID登录或者cookies! -5");
    c.gui->BringToTop(c.groupBox);
    c.gui->SetVisible(c.statusLabel, false);
    c.gui->SetVisible(c.groupBox, true);
    c.writeSetting("username", "");
    c.writeSetting("password", "");
    c.writeSetting("cookies", "");
    return;
  }
  c.gui->SetText(c.statusLabel, status);
  // Nothing waits for the thread. One that can't start would leave the
  // status up for ever, so that ends like a failed upload.
  if (!c.gui->StartThread(c.uploadJob)) {
    ShowError(c, "上传文件失败 -1");
    c.gui->EndProcess(0);
  }
}

}  // namespace qp::app
