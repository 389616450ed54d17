#pragma once
// Byte-string searches over Text that step over whole characters of the Text
// code page, so a match never starts on the trail byte of a double-byte
// character (GBK trail bytes include '\', '[' and ']'). Letter case, when
// ignored, is ignored for ASCII letters only. Portable code: it needs nothing
// of the system but the code page's character sizes.

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace qp::text {

constexpr std::size_t kNotFound = std::string_view::npos;

// The byte offset of the first occurrence of `needle` that starts at or after
// `from`, or kNotFound. `from` may lie inside a character. An empty needle is
// never found.
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0,
                     bool ignoreCase = false);

// The byte offset of the last occurrence of `needle` that starts at or before
// `lastStart`, or kNotFound.
std::size_t FindLastText(std::string_view text, std::string_view needle,
                         std::size_t lastStart = kNotFound, bool ignoreCase = false);

bool ContainsText(std::string_view text, std::string_view needle, bool ignoreCase = false);

// Equality of two byte strings, ignoring the case of ASCII letters.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Splits at `separator`: an empty piece between two adjacent separators
// counts, nothing after a final separator does, and an empty text gives no
// pieces.
std::vector<Text> SplitText(std::string_view text, std::string_view separator);

// Every occurrence of `from` (searched as FindText does) replaced by `to`,
// left to right, without rescanning what was inserted.
Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                bool ignoreCase = false);

// Removes the ASCII space and the full-width space of the Text code page from
// both ends; tabs, CR and LF stay.
Text TrimBlanks(std::string_view text);

}  // namespace qp::text
