// Well-known folders after the XDG Base Directory and xdg-user-dirs
// conventions.

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/folders.h"

namespace qp::folders {
namespace {

std::optional<Text> Home() {
  const char* home = ::getenv("HOME");
  if (home && home[0] == '/')
    return Text(home);
  // Without HOME the account database still knows the folder.
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
    return Text(pw->pw_dir);
  return std::nullopt;
}

// An XDG base folder: the variable when it holds an absolute path (the
// convention says relative values are to be ignored), else HOME + fallback.
std::optional<Text> BaseFolder(const char* variable, const char* fallback) {
  const char* value = ::getenv(variable);
  if (value && value[0] == '/') {
    Text folder = value;
    while (folder.size() > 1 && folder.back() == '/')
      folder.pop_back();
    return folder;
  }
  auto home = Home();
  if (!home)
    return std::nullopt;
  return *home + "/" + fallback;
}

// A user folder from $XDG_CONFIG_HOME/user-dirs.dirs, whose lines read
// XDG_DESKTOP_DIR="$HOME/Desktop"; `fallback` under HOME when it has none.
std::optional<Text> UserFolder(const std::string& name, const char* fallback) {
  auto home = Home();
  if (!home)
    return std::nullopt;
  if (auto config = BaseFolder("XDG_CONFIG_HOME", ".config")) {
    std::ifstream in(*config + "/user-dirs.dirs");
    const std::string prefix = "XDG_" + name + "_DIR=\"";
    for (std::string line; std::getline(in, line);) {
      if (line.compare(0, prefix.size(), prefix) != 0 || line.back() != '"')
        continue;
      std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
      if (value.compare(0, 5, "$HOME") == 0)
        return *home + value.substr(5);
      if (!value.empty() && value[0] == '/')
        return value;
    }
  }
  return *home + "/" + fallback;
}

std::optional<Text> Under(std::optional<Text> base, const char* child) {
  if (!base)
    return std::nullopt;
  return *base + "/" + child;
}

}  // namespace

std::optional<Text> SpecialFolder(Kind kind) {
  switch (kind) {
    case Kind::kDocuments:
      return UserFolder("DOCUMENTS", "Documents");
    case Kind::kFavorites:
      return std::nullopt;
    case Kind::kDesktop:
      return UserFolder("DESKTOP", "Desktop");
    case Kind::kFonts:
      return Under(BaseFolder("XDG_DATA_HOME", ".local/share"), "fonts");
    case Kind::kStartMenu:
    case Kind::kPrograms:
      return Under(BaseFolder("XDG_DATA_HOME", ".local/share"), "applications");
    case Kind::kStartup:
      return Under(BaseFolder("XDG_CONFIG_HOME", ".config"), "autostart");
    case Kind::kAppData:
      return BaseFolder("XDG_DATA_HOME", ".local/share");
    case Kind::kWindows:
      return Text("/");
    case Kind::kSystem:
      return Text("/usr/bin");
    case Kind::kTemp: {
      const char* tmp = ::getenv("TMPDIR");
      return Text(tmp && tmp[0] == '/' ? tmp : "/tmp");
    }
    case Kind::kInternetCache:
      return BaseFolder("XDG_CACHE_HOME", ".cache");
  }
  return std::nullopt;
}

}  // namespace qp::folders
