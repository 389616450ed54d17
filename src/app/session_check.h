#pragma once
// Making sure a signed-in session exists before a byte of the file is sent.

#include <functional>

#include "platform/gui.h"
#include "platform/text.h"

namespace qp::app {

struct SessionCheckContext {
  gui::Gui* gui = nullptr;
  gui::ControlId statusLabel = 0;  // 标签2
  gui::ControlId groupBox = 0;     // 分组框1
  Text* sessionCookies = nullptr;  // as read from the settings file
  // The settings file's writer (key, value).
  std::function<void(const Text&, const Text&)> writeSetting;
  // The worker thread's body, started once the session stands.
  std::function<void()> uploadJob;
};

// Probes the saved cookies, or signs in with the saved username and password,
// then sets the status text and starts the upload job. A failed sign-in shows
// "登录失败" (after a rejected cookie) or "判断账号信息 -1" and ends the
// process; no account data at all shows the missing-account message, turns
// the window into the association window and resets the three keys.
void CheckSession(const SessionCheckContext& context, const Text& username, const Text& password);

}  // namespace qp::app
