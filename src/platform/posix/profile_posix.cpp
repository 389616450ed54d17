// The profile functions on a small INI reader and writer of our own: the INI
// libraries at hand either only read (inih) or rewrite the whole file in their
// own layout, while users edit this file by hand and expect every line the
// program does not own to stay exactly as they wrote it.

#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace qp::profile {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Names compare without regard to ASCII case. Only whole single-byte
// characters are folded, so the trail byte of a GBK character that happens to
// look like a letter keeps its case.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t n = codepage::CharSize(a, i);
    if (n == 1) {
      char x = a[i], y = b[i];
      if (x >= 'A' && x <= 'Z')
        x = static_cast<char>(x - 'A' + 'a');
      if (y >= 'A' && y <= 'Z')
        y = static_cast<char>(y - 'A' + 'a');
      if (x != y)
        return false;
    } else if (a.substr(i, n) != b.substr(i, n)) {
      return false;
    }
    i += n;
  }
  return true;
}

// One line of the file, its line break kept so an unchanged line is written
// back byte for byte.
struct Line {
  std::string raw;
  std::string_view Content() const {
    std::string_view s = raw;
    if (!s.empty() && s.back() == '\n')
      s.remove_suffix(1);
    if (!s.empty() && s.back() == '\r')
      s.remove_suffix(1);
    return s;
  }
};

std::vector<Line> SplitLines(const Text& content) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    end = end == Text::npos ? content.size() : end + 1;
    lines.push_back({content.substr(start, end - start)});
    start = end;
  }
  return lines;
}

// The text a line holds for parsing: an editor's byte-order mark before the
// first line is not part of it.
std::string_view Parsed(const std::vector<Line>& lines, std::size_t i) {
  std::string_view s = lines[i].Content();
  if (i == 0 && s.substr(0, kUtf8Bom.size()) == kUtf8Bom)
    s.remove_prefix(kUtf8Bom.size());
  return Trim(s);
}

// "[name]" gives name; anything else is not a section header.
std::optional<std::string_view> SectionName(std::string_view line) {
  if (line.empty() || line.front() != '[')
    return std::nullopt;
  line.remove_prefix(1);
  const std::size_t close = line.find(']');
  return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

// The key of a "key=value" line; lines without '=' hold no key.
std::optional<std::string_view> KeyName(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos)
    return std::nullopt;
  return Trim(line.substr(0, eq));
}

std::string_view ValueOf(std::string_view line) {
  std::string_view value = Trim(line.substr(line.find('=') + 1));
  // One pair of matching quotes around the whole value is dropped.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// Where a section lies in the file: its header line, and the lines up to the
// next header.
struct SectionRange {
  std::size_t header = 0, begin = 0, end = 0;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionName(Parsed(lines, i));
    if (!name || !SameName(*name, section))
      continue;
    SectionRange range{i, i + 1, i + 1};
    while (range.end < lines.size() && !SectionName(Parsed(lines, range.end)))
      ++range.end;
    return range;
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<Line>& lines, const SectionRange& range,
                                   std::string_view key) {
  for (std::size_t i = range.begin; i < range.end; ++i) {
    auto name = KeyName(Parsed(lines, i));
    if (name && SameName(*name, key))
      return i;
  }
  return std::nullopt;
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

Text ReadString(const Text& section, const Text& key, const Text& defaultValue, const Text& path,
                std::size_t bufferSize) {
  Text result = defaultValue;
  Bytes content;
  if (files::ReadWholeFile(path, &content)) {
    const std::vector<Line> lines = SplitLines(ToText(content));
    if (auto range = FindSection(lines, section)) {
      if (auto line = FindKey(lines, *range, key))
        result = Text(ValueOf(Parsed(lines, *line)));
    }
  }
  const std::size_t room = bufferSize == 0 ? 0 : bufferSize - 1;
  if (result.size() > room)
    result.resize(room);
  return result;
}

bool WriteString(const Text& section, const Text& key, const std::optional<Text>& value,
                 const Text& path) {
  if (HasLineBreak(section) || HasLineBreak(key) || key.find('=') != Text::npos ||
      (value && HasLineBreak(*value))) {
    return false;
  }
  Bytes content;
  // A file that is there but can't be read is not rewritten from nothing:
  // that would throw away everything else in it.
  if (!files::ReadWholeFile(path, &content) && files::FindEntry(path))
    return false;
  std::vector<Line> lines = SplitLines(ToText(content));
  // New lines follow the file's own line breaks.
  const bool crlf = !lines.empty() && lines[0].raw.size() >= 2 &&
                    lines[0].raw.compare(lines[0].raw.size() - 2, 2, "\r\n") == 0;
  const std::string eol = crlf ? "\r\n" : "\n";
  const std::string newLine = value ? key + "=" + *value + eol : std::string();

  auto range = FindSection(lines, section);
  if (!range) {
    if (!value)
      return true;  // nothing to remove, and nothing is created for it
    if (!lines.empty() && lines.back().raw.back() != '\n')
      lines.back().raw += eol;
    lines.push_back({"[" + section + "]" + eol});
    lines.push_back({newLine});
  } else if (auto at = FindKey(lines, *range, key)) {
    if (value)
      lines[*at].raw = newLine;
    else
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*at));
  } else if (value) {
    // A new key goes after the section's last non-blank line, so the blank
    // line that separates it from the next section stays in its place.
    std::size_t at = range->end;
    while (at > range->begin && Parsed(lines, at - 1).empty())
      --at;
    if (lines[at - 1].raw.back() != '\n')
      lines[at - 1].raw += eol;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{newLine});
  } else {
    return true;
  }

  Text out;
  for (const Line& line : lines)
    out += line.raw;
  return files::WriteFileAtomically(path, out, /*ownerOnly=*/true);
}

}  // namespace qp::profile
