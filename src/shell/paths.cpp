#include "shell/paths.h"

#include "platform/codepage.h"
#include "platform/folders.h"

namespace qp::shell {

Text SpecialFolderPath(int kind) {
  if (kind == 0)
    kind = 3;
  if (kind < 1 || kind > 12)
    return {};
  std::optional<Text> folder = folders::SpecialFolder(static_cast<folders::Kind>(kind));
  if (!folder || folder->empty())
    return {};
  // Only the last byte is looked at, as the system's answer is a plain path.
  if (folder->back() != files::kPathSeparator)
    *folder += files::kPathSeparator;
  return *folder;
}

Text ParentFolderPath(const Text& path, char separator) {
  if (!path.empty() && path.back() == separator)
    return FolderOfPath(path.substr(0, path.size() - 1), separator);
  return FolderOfPath(path, separator);
}

Text FolderOfPath(const Text& path, char separator) {
  std::size_t end = 0;  // just past the last separator seen
  for (std::size_t i = 0; i < path.size(); i += codepage::CharSize(path, i)) {
    if (path[i] == separator)
      end = i + 1;
  }
  return path.substr(0, end);
}

Text JoinPath(const Text& folder, const Text& name, char separator) {
  if (folder.empty() || folder.back() == separator)
    return folder + name;
  return folder + separator + name;
}

}  // namespace qp::shell
