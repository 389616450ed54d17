#include "http/encoding.h"

#include <cstring>
#include <string_view>

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/message_pump.h"
#include "script/automation_object.h"

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

namespace {

constexpr std::size_t kCharsetSearchBytes = 1024;
constexpr char kMetaCharsetPattern[] = "<meta.+?charset=[^\\w]?([-\\w]+)";

// Whether a declared charset names the Text code page, so the bytes are
// already Text. Exact lower-case names, as pages usually write them; another
// spelling only costs a conversion to the same code page.
bool NamesTextCodePage(const Text& charset) {
  switch (codepage::TextCodePage()) {
    case codepage::kGbk:
      return charset == "gbk" || charset == "gb2312";
    case codepage::kUtf8:
      return charset == "utf-8";
    default:
      return false;
  }
}

}  // namespace

Text DecodeResponseText(const Bytes& body, script::RegexObject& regex) {
  const void* zero = body.empty() ? nullptr : std::memchr(body.data(), 0, body.size());
  Text text(reinterpret_cast<const char*>(body.data()),
            zero ? static_cast<const std::uint8_t*>(zero) - body.data() : body.size());

  com::ScopedInitialize com;
  const bool searched = regex.Search(kMetaCharsetPattern, text.substr(0, kCharsetSearchBytes));
  const Text charset = searched ? regex.SubMatchText(1, 1) : "";

  if (!charset.empty() && !NamesTextCodePage(charset)) {
    script::AutomationObject stream;
    if (stream.Create("Adodb.Stream")) {
      script::Arguments bytes;  // the whole body, zero bytes included
      bytes.emplace_back(Bytes(body));
      stream.WriteProperty("Type", 1);
      stream.WriteProperty("Mode", 3);
      stream.CallMethod("Open");
      stream.CallMethod("Write", bytes);
      stream.WriteProperty("Position", 0);
      stream.WriteProperty("Type", 2);
      stream.WriteProperty("Charset", charset);
      text = stream.CallText("ReadText");
      stream.CallMethod("Close");
    }
  }

  if (searched)
    gui::PumpPendingMessages();
  return text;
}

}  // namespace qp::http
