#include "script/text_search.h"

#include <cctype>

#include "platform/codepage.h"

namespace qp::script {
namespace {

bool SameBytes(std::string_view a, std::string_view b, bool ignoreCase) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x == y)
      continue;
    if (!ignoreCase || x >= 0x80 || y >= 0x80 || std::tolower(x) != std::tolower(y))
      return false;
  }
  return true;
}

}  // namespace

std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from,
                     bool ignoreCase) {
  const unsigned codePage = codepage::TextCodePage();
  std::size_t pos = from;
  for (; pos + needle.size() <= text.size(); pos += codepage::CharSize(text, pos, codePage)) {
    if (SameBytes(text.substr(pos, needle.size()), needle, ignoreCase))
      return pos;
    if (pos == text.size())
      break;
  }
  return std::string_view::npos;
}

Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty())
    return Text(text);
  Text out;
  out.reserve(text.size());
  std::size_t done = 0;
  for (std::size_t at = FindText(text, from, 0); at != std::string_view::npos;
       at = FindText(text, from, done)) {
    out.append(text.substr(done, at - done));
    out.append(to);
    done = at + from.size();
  }
  out.append(text.substr(done));
  return out;
}

Text OwnText(std::string_view utf8) {
  return codepage::Convert(utf8, codepage::kUtf8, codepage::TextCodePage());
}

}  // namespace qp::script
