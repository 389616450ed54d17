// The code page stand-in on glibc's iconv, answering Windows code page numbers.

#include <errno.h>
#include <iconv.h>

#include <atomic>
#include <cstring>

#include "platform/codepage.h"

namespace qp::codepage {
namespace {

std::atomic<unsigned> text_code_page{kUtf8};

const char* IconvName(unsigned codePage) {
  switch (codePage) {
    case kUtf16Le:
      return "UTF-16LE";
    case kGbk:
      return "CP936";
    case kGb18030:
      return "GB18030";
    case kBig5:
      return "CP950";
    case kShiftJis:
      return "CP932";
    case kEucJp:
      return "EUC-JP";
    case kEucKr:
      return "CP949";
    case kLatin1:
      return "ISO-8859-1";
    case kUsAscii:
      return "ASCII";
    case kUtf8:
      return "UTF-8";
    case 1250:
      return "CP1250";
    case 1251:
      return "CP1251";
    case 1252:
      return "CP1252";
    case 1253:
      return "CP1253";
    case 1254:
      return "CP1254";
    case 1255:
      return "CP1255";
    case 1256:
      return "CP1256";
    case 1257:
      return "CP1257";
    case 1258:
      return "CP1258";
    default:
      return nullptr;
  }
}

// One iconv descriptor for the length of one conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok())
      iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as it can; returns false at a sequence it can't convert
  // (EILSEQ) or one cut off at the end (EINVAL), with `in` left there.
  bool Step(const char*& in, size_t& inLeft, std::string& out) {
    char buffer[4096];
    while (inLeft > 0) {
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      size_t rc = iconv(cd_, const_cast<char**>(&in), &inLeft, &dst, &dstLeft);
      out.append(buffer, dst - buffer);
      if (rc == static_cast<size_t>(-1) && errno != E2BIG)
        return false;
    }
    return true;
  }

 private:
  iconv_t cd_;
};

void AppendUnit(std::string& out, char16_t unit) {
  out.push_back(static_cast<char>(unit & 0xFF));
  out.push_back(static_cast<char>(unit >> 8));
}

}  // namespace

unsigned TextCodePage() {
  return text_code_page.load(std::memory_order_relaxed);
}

ScopedTextCodePage::ScopedTextCodePage(unsigned codePage) : previous_(TextCodePage()) {
  text_code_page.store(codePage, std::memory_order_relaxed);
}

ScopedTextCodePage::~ScopedTextCodePage() {
  text_code_page.store(previous_, std::memory_order_relaxed);
}

bool IsSupported(unsigned codePage) {
  return IconvName(codePage) != nullptr;
}

std::u16string ToUtf16(std::string_view bytes, unsigned codePage) {
  const char* name = IconvName(codePage);
  if (!name)
    return {};
  Converter converter("UTF-16LE", name);
  if (!converter.ok())
    return {};
  std::string utf16le;
  const char* in = bytes.data();
  size_t inLeft = bytes.size();
  while (!converter.Step(in, inLeft, utf16le)) {
    // Like MultiByteToWideChar: an invalid byte becomes U+FFFD and decoding
    // resumes after it.
    AppendUnit(utf16le, u'\uFFFD');
    ++in;
    --inLeft;
  }
  std::u16string units(utf16le.size() / 2, u'\0');
  std::memcpy(units.data(), utf16le.data(), units.size() * 2);
  return units;
}

std::string FromUtf16(std::u16string_view units, unsigned codePage) {
  const char* name = IconvName(codePage);
  if (!name)
    return {};
  Converter converter(name, "UTF-16LE");
  if (!converter.ok())
    return {};
  std::string out;
  const char* in = reinterpret_cast<const char*>(units.data());
  size_t inLeft = units.size() * 2;
  while (!converter.Step(in, inLeft, out)) {
    // An unmappable character (or a lone surrogate) becomes '?'; a surrogate
    // pair is skipped whole.
    out.push_back('?');
    size_t skip = 2;
    char16_t unit = static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8);
    if (unit >= 0xD800 && unit <= 0xDBFF && inLeft >= 4)
      skip = 4;
    if (inLeft < skip)
      skip = inLeft;
    in += skip;
    inLeft -= skip;
  }
  return out;
}

std::size_t CharSize(std::string_view text, std::size_t pos, unsigned codePage) {
  if (pos >= text.size())
    return 0;
  const auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t size = 1;
  if (codePage == kUtf8) {
    if (lead >= 0xC2 && lead <= 0xDF)
      size = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
      size = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
      size = 4;
    // Only real continuation bytes belong to the character, so a broken
    // sequence never swallows the ASCII byte after it.
    std::size_t n = 1;
    while (n < size && pos + n < text.size() &&
           (static_cast<unsigned char>(text[pos + n]) & 0xC0) == 0x80) {
      ++n;
    }
    return n;
  }
  if (codePage == kGbk || codePage == kBig5 || codePage == kEucKr || codePage == kGb18030) {
    if (lead >= 0x81 && lead <= 0xFE)
      size = 2;
  } else if (codePage == kShiftJis) {
    if ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC))
      size = 2;
  }
  return pos + size <= text.size() ? size : text.size() - pos;
}

std::string Convert(std::string_view bytes, unsigned fromCodePage, unsigned toCodePage) {
  if (fromCodePage == toCodePage)
    return std::string(bytes);
  return FromUtf16(ToUtf16(bytes, fromCodePage), toCodePage);
}

}  // namespace qp::codepage
