#pragma once
// The user's and the system's well-known folders.

#include <optional>

#include "platform/text.h"

namespace qp::folders {

// The kinds of well-known folder the program can ask for. The numbers are the
// program's own folder kinds; kDesktop is also what kind 0 stands for.
enum class Kind {
  kDocuments = 1,
  kFavorites = 2,
  kDesktop = 3,
  kFonts = 4,
  kStartMenu = 5,
  kPrograms = 6,
  kStartup = 7,
  kAppData = 8,
  kWindows = 9,
  kSystem = 10,
  kTemp = 11,
  kInternetCache = 12,
};

// The folder of `kind` as the system names it, with or without a trailing
// separator; nullopt when the system has no such folder or can't tell. The
// folder need not exist.
//
// On Windows: SHGetSpecialFolderPathA (no owner, fCreate FALSE),
// GetWindowsDirectoryA, GetSystemDirectoryA, GetTempPathA.
// On POSIX the XDG base and user folders stand in: Documents and Desktop from
// user-dirs.dirs; Start Menu and Programs $XDG_DATA_HOME/applications (where
// freedesktop menus and "Open With" look for entries), so that the parent of
// the Start Menu is $XDG_DATA_HOME as the parent of the Windows Start Menu is
// the user's shell folder; Fonts $XDG_DATA_HOME/fonts; Startup
// $XDG_CONFIG_HOME/autostart; AppData $XDG_DATA_HOME; Windows "/"; System
// "/usr/bin"; Temp $TMPDIR or /tmp; Internet cache $XDG_CACHE_HOME. There
// are no Favorites.
std::optional<Text> SpecialFolder(Kind kind);

}  // namespace qp::folders
