#include "cloud/form_values.h"

#include <cstdio>

#include "platform/codepage.h"
#include "platform/files.h"

namespace qp::cloud {
namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/' || c == ':';
#else
  return c == files::kPathSeparator;
#endif
}

Text DateText(const files::LocalTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
  return buffer;
}

Text TimeOfDayText(const files::LocalTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buffer;
}

}  // namespace

bool GetFileTimeTexts(const Text& path, Text* creation, Text* lastWrite, Text* lastAccess) {
  files::Times times;
  if (!files::ReadTimes(path, &times))
    return false;
  *creation = DateText(times.creation) + " " + TimeOfDayText(times.creation);
  *lastWrite = DateText(times.lastWrite) + " " + TimeOfDayText(times.lastWrite);
  Text accessTime = TimeOfDayText(times.lastAccess);
  *lastAccess = DateText(times.lastAccess) + " " + (accessTime == "00:00:00" ? "" : accessTime);
  return true;
}

Text FileNameOfPath(const Text& path, bool keepExtension) {
  // PathFindFileNameA: the name starts after the last separator that is
  // followed by something other than another separator.
  // A name whose last character is a separator is no name; a GBK trail byte
  // that happens to be a backslash is not a separator.
  size_t start = 0;
  bool endsInSeparator = false;
  for (size_t pos = 0; pos < path.size();) {
    size_t size = codepage::CharSize(path, pos);
    endsInSeparator = size == 1 && IsSeparator(path[pos]);
    if (endsInSeparator && pos + 1 < path.size() && !IsSeparator(path[pos + 1]))
      start = pos + 1;
    pos += size;
  }
  Text name = path.substr(start);
  if (name.empty() || endsInSeparator)
    return {};
  if (keepExtension)
    return name;
  return name.substr(0, name.size() - ExtensionOfPath(name).size());
}

Text ExtensionOfPath(const Text& path) {
  size_t dot = Text::npos;
  for (size_t pos = 0; pos < path.size();) {
    size_t size = codepage::CharSize(path, pos);
    if (size == 1 && (IsSeparator(path[pos]) || path[pos] == ' '))
      dot = Text::npos;
    else if (size == 1 && path[pos] == '.')
      dot = pos;
    pos += size;
  }
  return dot == Text::npos ? Text() : path.substr(dot);
}

std::int64_t FileSizeKiB(const Text& path) {
  std::optional<files::Entry> entry = files::FindEntry(path);
  if (!entry)
    return -1;
  // The whole 64-bit size: a file of 2 GiB or more still gets its true size.
  return static_cast<std::int64_t>((entry->size + 1023) / 1024);
}

// No fault guard: both inputs are sized strings and every conversion reads
// within their lengths, so there is nothing left for a guard to catch; one
// around it would only hide a real fault.
Bytes TextToUtf8(const Text& text, const Bytes& utf16) {
  std::u16string units;
  if (!text.empty()) {
    units = codepage::ToUtf16(text, codepage::TextCodePage());
  } else {
    units.resize(utf16.size() / 2);
    for (size_t i = 0; i < units.size(); ++i)
      units[i] = static_cast<char16_t>(utf16[2 * i] | (utf16[2 * i + 1] << 8));
  }
  if (units.empty())
    return {};
  return ToBytes(codepage::FromUtf16(units, codepage::kUtf8));
}

}  // namespace qp::cloud
