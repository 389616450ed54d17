#pragma once
// The path helpers of the Send To integration. Separators are found by
// stepping over whole characters of the Text code page, so the trail byte of
// a GBK character (which may be 0x5C, a backslash) is never taken for one.

#include "platform/files.h"
#include "platform/text.h"

namespace qp::shell {

// The well-known folder of `kind` (0 stands for 3, the desktop; see
// folders::Kind for the rest), always ending in a separator; "" when the
// system has no such folder or `kind` is not one of 0 to 12.
Text SpecialFolderPath(int kind);

// The parent of a folder path, ending in a separator: one trailing separator
// is dropped, then the path is cut after its last separator. "" when none is
// left.
Text ParentFolderPath(const Text& path, char separator = files::kPathSeparator);

// The leading part of `path` up to and including its last separator; "" when
// it has none.
Text FolderOfPath(const Text& path, char separator = files::kPathSeparator);

// `name` in `folder`, with one separator between them ("/" and "a" give
// "/a"); `name` alone when `folder` is "".
Text JoinPath(const Text& folder, const Text& name, char separator = files::kPathSeparator);

}  // namespace qp::shell
