#pragma once
// Code pages: the Text code page, conversions to and from UTF-16, and stepping
// over whole characters. Every conversion in the program goes through here, so
// the same code is right for GBK and for UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

namespace qp::codepage {

// Windows code page numbers; the POSIX stand-in understands the same numbers.
constexpr unsigned kUtf16Le = 1200;
constexpr unsigned kGbk = 936;
constexpr unsigned kGb18030 = 54936;
constexpr unsigned kBig5 = 950;
constexpr unsigned kShiftJis = 932;
constexpr unsigned kEucJp = 51932;
constexpr unsigned kEucKr = 949;
constexpr unsigned kLatin1 = 28591;
constexpr unsigned kUsAscii = 20127;
constexpr unsigned kUtf8 = 65001;
// windows-1250 .. windows-1258 are their own numbers.

// The process's ANSI code page: the system's on Windows, UTF-8 on POSIX.
unsigned TextCodePage();

// Tests run the character-sensitive code under GBK as well as UTF-8. Not for
// use while other threads convert.
class ScopedTextCodePage {
 public:
  explicit ScopedTextCodePage(unsigned codePage);
  ~ScopedTextCodePage();
  ScopedTextCodePage(const ScopedTextCodePage&) = delete;
  ScopedTextCodePage& operator=(const ScopedTextCodePage&) = delete;

 private:
  unsigned previous_;
};

// True when conversions to and from this code page are available.
bool IsSupported(unsigned codePage);

// Converts bytes in `codePage` to UTF-16. Like MultiByteToWideChar with no
// flags, a sequence that is not valid in the code page becomes U+FFFD instead
// of failing. An unsupported code page gives an empty result.
std::u16string ToUtf16(std::string_view bytes, unsigned codePage);

// Converts UTF-16 to `codePage`. Characters the code page lacks become '?',
// as WideCharToMultiByte does with no default character given.
std::string FromUtf16(std::u16string_view units, unsigned codePage);

// The number of bytes of the character that starts at `pos` (at least 1, at
// most what is left of `text`): a GBK lead byte takes its trail byte along; a
// UTF-8 lead byte its continuation bytes. 0 when `pos` is at or past the end.
std::size_t CharSize(std::string_view text, std::size_t pos, unsigned codePage = TextCodePage());

// Converts between two code pages through UTF-16.
std::string Convert(std::string_view bytes, unsigned fromCodePage, unsigned toCodePage);

// The system's own texts (messages, captions, file names) are written in
// UTF-8 in the source; this is their one way into the Text code page.
inline std::string SystemText(std::string_view utf8) {
  if (TextCodePage() == kUtf8)
    return std::string(utf8);
  return Convert(utf8, kUtf8, TextCodePage());
}

}  // namespace qp::codepage
