#pragma once
// INI ("profile") files with the semantics of the Windows profile functions,
// GetPrivateProfileStringA and WritePrivateProfileStringA: section and key
// names compared without regard to ASCII case, the first matching section and
// key win, values trimmed of blanks and of one pair of enclosing quotes, and a
// write that keeps every other line of the file as it was.

#include <cstddef>
#include <optional>

#include "platform/text.h"

namespace qp::profile {

// The value of `key` in `section` of the file at `path`, or `defaultValue`
// when the file, the section or the key is missing. Like a read into a buffer
// of `bufferSize` bytes, the result is cut to its first bufferSize - 1 bytes.
Text ReadString(const Text& section, const Text& key, const Text& defaultValue, const Text& path,
                std::size_t bufferSize);

// Writes "key=value" into `section`, replacing the key's line when the key is
// there, adding it at the end of the section otherwise, and creating the
// section and the file when they do not exist. With no value (std::nullopt)
// the key's line is removed instead. The file is replaced all at once, so a
// failed write leaves the old file whole; a file the call creates is readable
// by its owner only, as it holds account data.
//
// false when the file can't be written, or when the section, key or value
// holds a line break (or the key an '='), which would spill into lines of
// their own and change other keys: such a write is refused and the file is
// left as it was.
bool WriteString(const Text& section, const Text& key, const std::optional<Text>& value,
                 const Text& path);

}  // namespace qp::profile
