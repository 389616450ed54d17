#pragma once
// Searching and replacing inside Text a whole character at a time, so that a
// double-byte character whose trail byte looks like an ASCII byte (GBK trail
// bytes include '\\', '[' and ']') is never split.

#include <cstddef>
#include <string_view>

#include "platform/text.h"

namespace qp::script {

// The byte offset of the first `needle` at or after `from` (itself a character
// boundary) that starts on a character boundary; ASCII letters compare case-insensitively with
// `ignoreCase`. npos when there is none.
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0,
                     bool ignoreCase = false);

// Every occurrence of `from` replaced by `to`, left to right.
Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// A text of the program's own (UTF-8 in the source) in the Text code page.
Text OwnText(std::string_view utf8);

}  // namespace qp::script
