#include "platform/text_find.h"

#include "platform/codepage.h"

namespace qp::text {
namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MatchesAt(std::string_view text, std::size_t pos, std::string_view needle, bool ignoreCase) {
  if (pos + needle.size() > text.size())
    return false;
  if (!ignoreCase)
    return text.compare(pos, needle.size(), needle) == 0;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    if (LowerAscii(text[pos + i]) != LowerAscii(needle[i]))
      return false;
  }
  return true;
}

// The first match at or after `pos`, which must be a character start.
std::size_t FindFromCharStart(std::string_view text, std::string_view needle, std::size_t pos,
                              bool ignoreCase) {
  if (needle.empty())
    return kNotFound;
  const unsigned codePage = codepage::TextCodePage();
  for (; pos + needle.size() <= text.size(); pos += codepage::CharSize(text, pos, codePage)) {
    if (MatchesAt(text, pos, needle, ignoreCase))
      return pos;
  }
  return kNotFound;
}

// The first character start at or after `pos`, walking from `start`, itself a
// character start: a match may end inside a character whose lead byte it took.
std::size_t NextCharStart(std::string_view text, std::size_t start, std::size_t pos) {
  const unsigned codePage = codepage::TextCodePage();
  while (start < pos && start < text.size())
    start += codepage::CharSize(text, start, codePage);
  return start;
}

}  // namespace

std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from,
                     bool ignoreCase) {
  // Walk character starts from the beginning: `from` itself may sit inside a
  // character, and a match must begin on a character boundary.
  return FindFromCharStart(text, needle, NextCharStart(text, 0, from), ignoreCase);
}

std::size_t FindLastText(std::string_view text, std::string_view needle, std::size_t lastStart,
                         bool ignoreCase) {
  if (needle.empty())
    return kNotFound;
  const unsigned codePage = codepage::TextCodePage();
  std::size_t found = kNotFound;
  for (std::size_t pos = 0; pos + needle.size() <= text.size() && pos <= lastStart;
       pos += codepage::CharSize(text, pos, codePage)) {
    if (MatchesAt(text, pos, needle, ignoreCase))
      found = pos;
  }
  return found;
}

bool ContainsText(std::string_view text, std::string_view needle, bool ignoreCase) {
  return FindText(text, needle, 0, ignoreCase) != kNotFound;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && MatchesAt(a, 0, b, true);
}

// Both walk the text once: each search resumes at the first character start
// after the previous match, which may end inside a character whose lead byte
// it took; those bytes still belong to the next piece.
std::vector<Text> SplitText(std::string_view text, std::string_view separator) {
  std::vector<Text> pieces;
  std::size_t start = 0;
  std::size_t searchFrom = 0;
  while (start < text.size()) {
    const std::size_t at = FindFromCharStart(text, separator, searchFrom, false);
    if (at == kNotFound) {
      pieces.emplace_back(text.substr(start));
      break;
    }
    pieces.emplace_back(text.substr(start, at - start));
    start = at + separator.size();
    searchFrom = NextCharStart(text, at, start);
  }
  return pieces;
}

Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                bool ignoreCase) {
  Text out;
  std::size_t start = 0;
  std::size_t searchFrom = 0;
  for (std::size_t at; (at = FindFromCharStart(text, from, searchFrom, ignoreCase)) != kNotFound;) {
    out.append(text.substr(start, at - start));
    out.append(to);
    start = at + from.size();
    searchFrom = NextCharStart(text, at, start);
  }
  out.append(text.substr(start));
  return out;
}

Text TrimBlanks(std::string_view text) {
  const Text fullWidth = codepage::FromUtf16(u"\u3000", codepage::TextCodePage());
  bool trimmed = true;
  while (trimmed && !text.empty()) {
    trimmed = false;
    if (text.front() == ' ') {
      text.remove_prefix(1);
      trimmed = true;
    } else if (text.starts_with(fullWidth)) {
      text.remove_prefix(fullWidth.size());
      trimmed = true;
    }
  }
  trimmed = true;
  while (trimmed && !text.empty()) {
    trimmed = false;
    if (text.back() == ' ') {
      text.remove_suffix(1);
      trimmed = true;
    } else if (text.ends_with(fullWidth) &&
               FindLastText(text, fullWidth, kNotFound) == text.size() - fullWidth.size()) {
      // Only a real trailing full-width character: in GBK the bytes A1 A1
      // may also be the trail of one character and the lead of the next.
      text.remove_suffix(fullWidth.size());
      trimmed = true;
    }
  }
  return Text(text);
}

}  // namespace qp::text
