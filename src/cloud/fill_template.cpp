#include "cloud/fill_template.h"

#include "platform/codepage.h"

namespace qp::cloud {
namespace {

char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MatchesAt(const Text& text, size_t pos, const Text& placeholder, bool caseSensitive) {
  if (text.size() - pos < placeholder.size())
    return false;
  for (size_t i = 0; i < placeholder.size(); ++i) {
    char a = text[pos + i], b = placeholder[i];
    if (caseSensitive ? a != b : FoldAscii(a) != FoldAscii(b))
      return false;
  }
  return true;
}

Text ReplaceOne(const Text& text, const Replacement& pair, const FillOptions& options) {
  if (pair.placeholder.empty())
    return text;
  int left = options.count.value_or(-1);
  size_t start = options.start > 0 ? static_cast<size_t>(options.start) - 1 : 0;
  if (start >= text.size())
    return text;
  // Step to the first character boundary at or after `start`.
  size_t pos = 0;
  while (pos < start)
    pos += codepage::CharSize(text, pos);
  Text out = text.substr(0, pos);
  while (pos < text.size()) {
    if (left != 0 && MatchesAt(text, pos, pair.placeholder, options.caseSensitive)) {
      out += pair.value;
      pos += pair.placeholder.size();
      if (left > 0)
        --left;
      continue;
    }
    size_t size = codepage::CharSize(text, pos);
    out.append(text, pos, size);
    pos += size;
  }
  return out;
}

}  // namespace

Text FillTemplate(const Text& text, const std::vector<Replacement>& pairs,
                  const FillOptions& options) {
  Text result = text;
  for (const Replacement& pair : pairs)
    result = ReplaceOne(result, pair, options);
  return result;
}

}  // namespace qp::cloud
