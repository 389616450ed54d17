// The Send To entries on a freedesktop desktop: a GNOME Files script and a
// desktop entry. Paths may hold any byte but NUL, so every path is quoted for
// the language of the file it goes into.

#include <sys/stat.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/shell_link.h"

namespace qp::shelllink {
namespace {

bool EndsWith(const Text& s, const Text& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// mkdir -p of the folder that holds `path`. New folders are private to the
// user, as the XDG base directory convention asks.
bool MakeParentFolders(const Text& path) {
  for (std::size_t slash = path.find('/', 1); slash != Text::npos;
       slash = path.find('/', slash + 1)) {
    const Text folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
      return false;
  }
  return true;
}

// A POSIX shell word: single quotes hold every byte but the quote itself.
Text ShellQuoted(const Text& s) {
  Text out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

// A desktop entry string value: backslash, line breaks and tabs escaped.
Text DesktopString(const Text& s) {
  Text out;
  for (char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  // A leading blank would be trimmed by readers.
  if (!out.empty() && out[0] == ' ')
    out.replace(0, 1, "\\s");
  return out;
}

// One argument of the Exec key: double-quoted with its reserved characters
// escaped, and '%' doubled so it is not taken for a field code.
Text ExecArgument(const Text& s) {
  Text out = "\"";
  for (char c : s) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      out += '\\';
    if (c == '%')
      out += '%';
    out += c;
  }
  return out + "\"";
}

Text ScriptEntry(const Text& target) {
  return "#!/bin/sh\n"
         "# Quillpost: publish the selected file (Right-click, Scripts, Quillpost).\n"
         "exec " +
         ShellQuoted(target) + " \"$@\"\n";
}

Text DesktopEntry(const Text& target, const Text& workingDirectory) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Quillpost\n"
         "Comment=Publish the file and copy its share link\n"
         "Exec=" +
         DesktopString(ExecArgument(target)) +
         " %F\n"
         "Path=" +
         DesktopString(workingDirectory) +
         "\n"
         // Every file type descends from application/octet-stream, so this
         // offers Quillpost for any file; the entry stays out of the menus.
         "MimeType=application/octet-stream;\n"
         "NoDisplay=true\n"
         "Terminal=false\n";
}

}  // namespace

Text ExecutableName() {
  return "quillpost";
}

std::vector<Text> SendToEntryNames() {
  return {"nautilus/scripts/Quillpost", "applications/quillpost.desktop"};
}

bool CreateShellLink(const Text& linkPath, const Text& target, const Text& workingDirectory) {
  if (linkPath.empty() || !MakeParentFolders(linkPath))
    return false;
  if (EndsWith(linkPath, ".desktop"))
    return files::WriteFileAtomically(linkPath, DesktopEntry(target, workingDirectory), false);
  if (!files::WriteFileAtomically(linkPath, ScriptEntry(target), false))
    return false;
  struct stat st {};
  return ::stat(linkPath.c_str(), &st) == 0 &&
         ::chmod(linkPath.c_str(), (st.st_mode & 07777) | ((st.st_mode & 0444) >> 2)) == 0;
}

}  // namespace qp::shelllink
