#pragma once
// The two value types every layer passes around.

#include <cstdint>
#include <string>
#include <vector>

namespace qp {

// Text is a byte string in the Text code page (platform/codepage.h): GBK on the
// Windows systems the tool targets, UTF-8 on the POSIX stand-in. Lengths and
// positions count bytes.
using Text = std::string;

// Raw bytes: request and response bodies, file content, UTF-8 and UTF-16 forms.
using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const Text& text) {
  return Bytes(text.begin(), text.end());
}
inline Text ToText(const Bytes& bytes) {
  return Text(bytes.begin(), bytes.end());
}

}  // namespace qp
