#include "http/encoding.h"

#include <string_view>

#include "platform/codepage.h"

namespace qp::http {

// The Text code page, not a fixed 936: where Text is UTF-8 a fixed GBK
// reading would garble every non-ASCII URL and header, and on the target
// Windows systems the Text code page is 936 anyway.

Bytes AnsiToUtf16(const Text& text, bool dropTerminator) {
  if (text.empty())
    return {};
  const std::string_view source(text.c_str());  // stops at the first NUL
  std::u16string units = codepage::ToUtf16(source, codepage::TextCodePage());
  if (!dropTerminator)
    units.push_back(u'\0');
  Bytes out;
  out.reserve(units.size() * 2);
  for (char16_t unit : units) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return out;
}

Text Utf16ToAnsi(const Bytes& utf16) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(utf16[i] | (utf16[i + 1] << 8));
    if (unit == u'\0')
      break;
    units.push_back(unit);
  }
  Text text = codepage::FromUtf16(units, codepage::TextCodePage());
  return text.substr(0, text.find('\0'));
}

}  // namespace qp::http
