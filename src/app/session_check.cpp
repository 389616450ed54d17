#include "app/session_check.h"

#include "app/program.h"
#include "app/settings.h"
#include "app/upload_job.h"
#include "cloud/account_login.h"
#include "cloud/exchange.h"
#include "cloud/origins.h"
#include "platform/codepage.h"
#include "platform/text_find.h"

namespace qp::app {
namespace {

using codepage::SystemText;

// Shows a failure and ends the program; the caller returns right after.
void Fail(const char* utf8) {
  ShowMessage(SystemText(utf8), gui::kMbOk | gui::kMbIconError, SystemText("错误"));
  ExitProgram();
}

// Signs in and keeps the new cookie text in the settings file; false when the
// console refused.
bool SignIn(const Text& username, const Text& password) {
  if (!cloud::AccountLogin(username, password, &SessionCookies()))
    return false;
  // An answer that set no cookie leaves no key behind, so the next run reads
  // the cookie text as empty.
  if (SessionCookies().empty())
    RemoveSetting("cookies");
  else
    WriteSetting("cookies", SessionCookies());
  return true;
}

// The console's disk page, with the saved cookies; the answer's cookies are
// merged into SessionCookies for the upload's requests.
bool SavedSessionAccepted() {
  cloud::Exchange probe;
  probe.url = cloud::Origins().account + "/mydisk.php";
  probe.cookies = &SessionCookies();
  return text::ContainsText(cloud::Send(std::move(probe)), SystemText("我的文件"));
}

}  // namespace

void CheckSession(const Text& username, const Text& password) {
  Text status;
  if (!SessionCookies().empty()) {
    ShowUploadLook();
    if (SavedSessionAccepted()) {
      status = SystemText("上传文件...");
    } else if (SignIn(username, password)) {
      status = SystemText("判断账号信息...");
    } else {
      Fail("登录失败");
      return;
    }
  } else if (!username.empty() && !password.empty()) {
    if (!SignIn(username, password)) {
      Fail("判断账号信息 -1");
      return;
    }
    status = SystemText("判断账号信息...");
  } else {
    ShowMessage(SystemText("未配置账号信息，ID登录或者cookies! -5"), gui::kMbOk | gui::kMbIconError,
                SystemText("错误"));
    ShowAssociationLookAfterMissingAccount();
    WriteSetting("username", "");
    WriteSetting("password", "");
    WriteSetting("cookies", "");
    return;
  }
  SetStatusText(status);
  // Nothing waits for the worker. One that can't start would leave the
  // status line up for ever with nothing published, so that ends as a failed
  // upload does.
  if (!StartWorkerThread(UploadJob))
    Fail("上传文件失败 -1");
}

}  // namespace qp::app
