#include "app/settings.h"

#include "platform/codepage.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "shell/paths.h"

namespace qp::app {
namespace {

using codepage::SystemText;

// The read buffer the profile function is given.
constexpr std::size_t kReadBufferSize = 10240;

Text Section() {
  return SystemText("lanzouyun");
}

}  // namespace

Text SettingsFilePath() {
  return shell::JoinPath(process::RunDirectory(), SystemText("设置.ini"));
}

Text ReadSetting(const Text& key) {
  return profile::ReadString(Section(), key, "", SettingsFilePath(), kReadBufferSize);
}

bool WriteSetting(const Text& key, const Text& value) {
  return profile::WriteString(Section(), key, value, SettingsFilePath());
}

bool RemoveSetting(const Text& key) {
  return profile::WriteString(Section(), key, std::nullopt, SettingsFilePath());
}

}  // namespace qp::app
