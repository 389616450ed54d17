#include "http/cookies.h"

#include "http/headers.h"
#include "platform/text_find.h"

namespace qp::http {
namespace {

constexpr char kSeparator[] = "; ";

bool IsDeletedItem(const Text& item) {
  return item.ends_with("=deleted");
}

// Trimmed, with a bare trailing ";" made a whole separator, so that "a=1;"
// and "a=1; " split alike.
std::vector<Text> SplitCookieText(const Text& text) {
  Text trimmed = text::TrimBlanks(text);
  if (trimmed.ends_with(";"))
    trimmed += ' ';
  return text::SplitText(trimmed, kSeparator);
}

Text JoinItems(const std::vector<Text>& items, const Text& separator) {
  Text out;
  for (const Text& item : items)
    out += item + separator;
  if (!out.empty())
    out.resize(out.size() - separator.size());
  return out;
}

}  // namespace

void CollectResponseCookies(const Text& headerBlock, Text& responseCookies, Text& cookies,
                            bool mergeCookies) {
  for (const Text& line : text::SplitText(headerBlock, "\r\n")) {
    if (TextBefore(line, ": ") != "Set-Cookie")
      continue;
    Text item;
    if (line.find(';') != Text::npos)
      item = TextBetween(line, "Set-Cookie:", ";");
    else
      item = text::ReplaceAll(line, "Set-Cookie:", "", true);
    responseCookies += text::TrimBlanks(item) + kSeparator;
  }
  if (responseCookies.ends_with(kSeparator))
    responseCookies.resize(responseCookies.size() - 2);

  if (mergeCookies && !cookies.empty())
    responseCookies = MergeCookies(cookies, responseCookies);
}

Text MergeCookies(Text& oldCookies, const Text& newCookies) {
  const std::vector<Text> oldItems = SplitCookieText(oldCookies);
  std::vector<Text> items = SplitCookieText(newCookies);
  for (const Text& item : oldItems) {
    if (!HasCookieName(items, CookieName(item)))
      items.push_back(item);
  }

  std::vector<Text> kept;
  for (const Text& item : items) {
    if (!IsDeletedItem(item))
      kept.push_back(item);
  }
  oldCookies = RemoveDuplicateItems(JoinItems(kept, kSeparator), kSeparator);
  return oldCookies;
}

Text CookieName(const Text& item) {
  return text::TrimBlanks(item.substr(0, item.find('=')));
}

bool HasCookieName(const std::vector<Text>& items, const Text& name) {
  for (const Text& item : items) {
    if (CookieName(item) == name)
      return true;
  }
  return false;
}

Text RemoveDuplicateItems(const Text& text, const Text& separator) {
  std::vector<Text> kept;
  for (const Text& item : text::SplitText(text, separator)) {
    if (IndexOfItem(kept, item) == -1)
      kept.push_back(item);
  }
  return JoinItems(kept, separator);
}

int IndexOfItem(const std::vector<Text>& items, const Text& item) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == item)
      return static_cast<int>(i) + 1;
  }
  return -1;
}

}  // namespace qp::http
