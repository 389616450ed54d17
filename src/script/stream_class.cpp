// "Adodb.Stream" for the one use the program has for it: write bytes, then
// read them back as text in a named charset. Members: Type (1 bytes, 2 text),
// Mode, Open, Close, Write, Position, Size, Charset, ReadText. Charset names
// are the ones browsers and the stream know, case-insensitive; the
// conversion goes through platform/codepage.

#include "script/classes.h"

namespace qp::script {
namespace {

constexpr int kTypeBinary = 1;
constexpr int kTypeText = 2;

// The code page of a charset name; 0 for a name the stream does not know.
unsigned CodePageOfCharset(std::string_view charset) {
  static const struct {
    const char* name;
    unsigned codePage;
  } charsets[] = {
      {"utf-8", codepage::kUtf8},
      {"utf8", codepage::kUtf8},
      {"unicode-1-1-utf-8", codepage::kUtf8},
      {"gbk", codepage::kGbk},
      {"gb2312", codepage::kGbk},
      {"x-gbk", codepage::kGbk},
      {"cp936", codepage::kGbk},
      {"windows-936", codepage::kGbk},
      {"chinese", codepage::kGbk},
      {"gb18030", codepage::kGb18030},
      {"big5", codepage::kBig5},
      {"x-x-big5", codepage::kBig5},
      {"cn-big5", codepage::kBig5},
      {"shift_jis", codepage::kShiftJis},
      {"shift-jis", codepage::kShiftJis},
      {"sjis", codepage::kShiftJis},
      {"x-sjis", codepage::kShiftJis},
      {"ms_kanji", codepage::kShiftJis},
      {"windows-31j", codepage::kShiftJis},
      {"euc-jp", codepage::kEucJp},
      {"x-euc-jp", codepage::kEucJp},
      {"euc-kr", codepage::kEucKr},
      {"ks_c_5601-1987", codepage::kEucKr},
      {"iso-8859-1", codepage::kLatin1},
      {"iso8859-1", codepage::kLatin1},
      {"iso_8859-1", codepage::kLatin1},
      {"latin1", codepage::kLatin1},
      {"l1", codepage::kLatin1},
      {"us-ascii", codepage::kUsAscii},
      {"ascii", codepage::kUsAscii},
      {"unicode", codepage::kUtf16Le},
      {"utf-16", codepage::kUtf16Le},
      {"utf-16le", codepage::kUtf16Le},
  };
  for (const auto& c : charsets) {
    if (SameName(charset, c.name))
      return c.codePage;
  }
  // windows-1250 .. windows-1258 (and cp1250 ..) are their own numbers.
  for (std::string_view prefix : {"windows-", "cp"}) {
    if (charset.size() == prefix.size() + 4 && SameName(charset.substr(0, prefix.size()), prefix)) {
      std::string_view digits = charset.substr(prefix.size());
      if (digits >= "1250" && digits <= "1258")
        return 1250 + (digits[3] - '0');
    }
  }
  return 0;
}

// UTF-16LE, an odd last byte ignored.
std::u16string Utf16LeUnits(const std::uint8_t* bytes, std::size_t size) {
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return units;
}

class Stream : public Dispatch {
 public:
  bool Invoke(Access access, std::string_view name, std::span<const Variant> arguments,
              Variant* result) override {
    if (access == Access::kPut)
      return Put(name, arguments[0]);
    if (SameName(name, "Type"))
      *result = Variant(type_);
    else if (SameName(name, "Mode"))
      *result = Variant(mode_);
    else if (SameName(name, "Charset"))
      *result = Variant(charset_);
    else if (SameName(name, "Position") && open_)
      *result = Variant(static_cast<double>(position_));
    else if (SameName(name, "Size") && open_)
      *result = Variant(static_cast<double>(bytes_.size()));
    else if (SameName(name, "Open") && !open_)
      open_ = true, bytes_.clear(), position_ = 0;
    else if (SameName(name, "Close") && open_)
      open_ = false, bytes_.clear(), position_ = 0;
    else if (SameName(name, "Write") && arguments.size() == 1)
      return Write(arguments[0]);
    else if (SameName(name, "ReadText"))
      return ReadText(arguments, result);
    else
      return false;
    return true;
  }

 private:
  bool Put(std::string_view name, const Variant& value) {
    if (SameName(name, "Type")) {
      int type = static_cast<int>(value.AsNumber());
      // As the stream does: the kind changes only at the start.
      if ((type != kTypeBinary && type != kTypeText) || position_ != 0)
        return false;
      type_ = type;
    } else if (SameName(name, "Mode")) {
      if (open_)
        return false;
      mode_ = static_cast<int>(value.AsNumber());
    } else if (SameName(name, "Charset")) {
      if (position_ != 0 || value.kind() != Variant::Kind::kText)
        return false;
      charset_ = value.AsText();  // an unknown name fails when text is read
    } else if (SameName(name, "Position")) {
      double position = value.AsNumber();
      if (!open_ || !(position >= 0 && position <= static_cast<double>(bytes_.size())))
        return false;
      position_ = static_cast<std::size_t>(position);
    } else {
      return false;
    }
    return true;
  }

  bool Write(const Variant& value) {
    if (!open_ || type_ != kTypeBinary || value.kind() != Variant::Kind::kBytes)
      return false;
    Bytes data = value.AsBytes();
    if (position_ + data.size() > bytes_.size())
      bytes_.resize(position_ + data.size());
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(position_));
    position_ += data.size();
    return true;
  }

  // Reads from the position to the end (an optional count of characters
  // shortens the text returned); a byte-order mark at the start is not text.
  bool ReadText(std::span<const Variant> arguments, Variant* result) {
    unsigned codePage = CodePageOfCharset(charset_);
    if (!open_ || type_ != kTypeText || codePage == 0 || arguments.size() > 1)
      return false;
    const std::uint8_t* data = bytes_.data() + position_;
    std::size_t size = bytes_.size() - position_;
    std::u16string units;
    if (codePage == codepage::kUtf16Le) {
      units = Utf16LeUnits(data, size);
    } else {
      if (!codepage::IsSupported(codePage))
        return false;
      units =
          codepage::ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size), codePage);
    }
    if (position_ == 0 && !units.empty() && units[0] == u'\uFEFF' &&
        (codePage == codepage::kUtf16Le || codePage == codepage::kUtf8))
      units.erase(0, 1);
    if (arguments.size() == 1 && arguments[0].AsNumber() >= 0 &&
        arguments[0].AsNumber() < static_cast<double>(units.size()))
      units.resize(static_cast<std::size_t>(arguments[0].AsNumber()));
    position_ = bytes_.size();
    *result = Variant(FromUnits(units));
    return true;
  }

  int type_ = kTypeBinary;
  int mode_ = 0;
  Text charset_ = "unicode";
  bool open_ = false;
  Bytes bytes_;
  std::size_t position_ = 0;
};

}  // namespace

std::shared_ptr<Dispatch> CreateStream() {
  return std::make_shared<Stream>();
}

}  // namespace qp::script
