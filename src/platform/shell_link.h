#pragma once
// The file manager entries that start the program with the files the user
// picked: on Windows a shell link in the SendTo folder, on Linux the file
// manager's context menu.

#include <vector>

#include "platform/text.h"

namespace qp::shelllink {

// The executable's file name that the entries point at, in the run
// directory: "Quillpost.exe" on Windows, "quillpost" on POSIX.
Text ExecutableName();

// Where the entries live, relative to the parent of the Start Menu folder
// (folders::Kind::kStartMenu). Windows: "Sendto\Quillpost.lnk". POSIX: GNOME
// Files' script "nautilus/scripts/Quillpost" (Right-click, Scripts) and the
// desktop entry "applications/quillpost.desktop" (Open With, in every
// freedesktop file manager).
std::vector<Text> SendToEntryNames();

// Writes the entry at `linkPath`, replacing one that is there, so that it
// starts `target` with the chosen files. true exactly when it was saved.
//
// Windows: a shell link through IShellLinkA and IPersistFile with the target,
// the working directory and SW_SHOW; COM must be initialised on the thread.
// POSIX: the entry's kind follows its name: "*.desktop" gets a desktop entry
// (Exec of the target with the files, Path of the working directory), any
// other name an executable script that runs the target with its arguments in
// the folder the file manager gives it, so that relative names still resolve.
// Missing folders on the way are created, as a fresh home has none of them.
bool CreateShellLink(const Text& linkPath, const Text& target, const Text& workingDirectory);

}  // namespace qp::shelllink
