#include "http/headers.h"

#include <string_view>

#include "platform/codepage.h"
#include "platform/text_find.h"

namespace qp::http {
namespace {

constexpr std::string_view kCrLf = "\r\n";

struct DefaultLine {
  const char* searchKey;
  const char* line;
  bool postOnly;
};

// Each default is added only when its key occurs nowhere in the block. The
// keys end with a blank, so "Accept-Encoding: " does not hide "Accept: "; the
// Content-Type key has none.
constexpr DefaultLine kDefaultLines[] = {
    {"User-Agent: ",
     "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)", false},
    {"Accept: ", "Accept: text/html, application/xhtml+xml, */*", false},
    {"Accept-Encoding: ", "Accept-Encoding: gbk, GB2312", false},
    {"Accept-Language: ", "Accept-Language: zh-cn", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded", true},
    {"Cache-Control: ", "Cache-Control: no-cache", false},
};

constexpr int kMethodPost = 1;

Text NormalizeName(const Text& name) {
  if (name.find('-') == Text::npos)
    return CapitalizeFirst(name);
  Text out;
  std::size_t start = 0;
  for (;;) {
    std::size_t dash = name.find('-', start);
    out += CapitalizeFirst(name.substr(start, dash - start));
    if (dash == Text::npos)
      break;
    out += '-';
    start = dash + 1;
  }
  return out;
}

std::size_t ForwardStart(int position) {
  return position > 1 ? static_cast<std::size_t>(position - 1) : 0;
}

}  // namespace

Text BuildRequestHeaders(const Text& extraHeaders, int method, const Text& cookies,
                         bool addDefaultHeaders, bool normalizeHeaders) {
  Text block;
  if (!extraHeaders.empty())
    block = extraHeaders + Text(kCrLf);

  if (addDefaultHeaders) {
    for (const DefaultLine& row : kDefaultLines) {
      if (row.postOnly && method != kMethodPost)
        continue;
      if (!text::ContainsText(block, row.searchKey, true))
        block += Text(row.line) + Text(kCrLf);
    }
  }

  if (normalizeHeaders)
    block = NormalizeHeaders(block);

  // An explicit keep-alive is dropped; the line survives only where it ends
  // the block without CR LF.
  if (text::ContainsText(block, "Connection") &&
      GetHeaderValue(block, "Connection") == "keep-alive")
    block = text::ReplaceAll(block, "Connection: keep-alive\r\n", "");

  if (!cookies.empty() && !text::ContainsText(block, "Cookie:", true)) {
    if (text::ContainsText(cookies, "Cookie:", true))
      block += Text(kCrLf) + cookies + Text(kCrLf);
    else
      block += Text(kCrLf) + "Cookie: " + cookies + Text(kCrLf);
  }
  return block;
}

Text NormalizeHeaders(const Text& block) {
  Text out;
  for (const Text& line : text::SplitText(block, kCrLf)) {
    std::size_t colon = line.find(':');
    if (colon == Text::npos)
      continue;
    out += NormalizeName(line.substr(0, colon)) + line.substr(colon) + Text(kCrLf);
  }
  if (!out.empty())
    out.resize(out.size() - kCrLf.size());
  return out;
}

Text CapitalizeFirst(const Text& text) {
  Text out = text;
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z')
    out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

Text GetHeaderValue(const Text& block, const Text& name) {
  for (const Text& line : text::SplitText(block, kCrLf)) {
    if (line.starts_with(name))
      return TextAfter(line, name + ": ");
  }
  return "";
}

Text TextBefore(const Text& text, const Text& marker, int position, bool ignoreCase) {
  std::size_t at;
  if (position < 0) {
    const std::size_t back = static_cast<std::size_t>(-static_cast<long long>(position)) - 1;
    if (back > text.size())
      return "";
    at = text::FindLastText(text, marker, text.size() - back, ignoreCase);
  } else {
    at = text::FindText(text, marker, ForwardStart(position), ignoreCase);
  }
  return at == text::kNotFound ? "" : text.substr(0, at);
}

Text TextAfter(const Text& text, const Text& marker, int position, bool ignoreCase) {
  std::size_t at;
  if (position < 0) {
    at = text::FindText(text, marker, ForwardStart(-position), ignoreCase);
  } else {
    const std::size_t back = position > 0 ? static_cast<std::size_t>(position) - 1 : 0;
    if (back > text.size())
      return "";
    at = text::FindLastText(text, marker, text.size() - back, ignoreCase);
  }
  return at == text::kNotFound ? "" : text.substr(at + marker.size());
}

Text TextBetween(const Text& text, const Text& open, const Text& close, int position,
                 bool ignoreCase) {
  const Text quoteMarker = codepage::SystemText("#引号");
  const Text openMarker = text::ReplaceAll(open, quoteMarker, "\"");
  const Text closeMarker = text::ReplaceAll(close, quoteMarker, "\"");
  std::size_t openAt = text::FindText(text, openMarker, ForwardStart(position), ignoreCase);
  if (openAt == text::kNotFound)
    return "";
  const std::size_t valueAt = openAt + openMarker.size();
  std::size_t closeAt = text::FindText(text, closeMarker, valueAt, ignoreCase);
  if (closeAt == text::kNotFound)
    return "";
  return text.substr(valueAt, closeAt - valueAt);
}

}  // namespace qp::http
