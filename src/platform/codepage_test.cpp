#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace qp::codepage {
namespace {

TEST(CodePage, RoundTripsChineseThroughGbkAndUtf8) {
  const std::u16string zhong = u"中文";
  const std::string gbk = "\xD6\xD0\xCE\xC4";
  const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87";
  EXPECT_EQ(ToUtf16(gbk, kGbk), zhong);
  EXPECT_EQ(ToUtf16(utf8, kUtf8), zhong);
  EXPECT_EQ(FromUtf16(zhong, kGbk), gbk);
  EXPECT_EQ(Convert(gbk, kGbk, kUtf8), utf8);
}

TEST(CodePage, InvalidAndUnmappableInputDegradesLikeWindows) {
  EXPECT_EQ(ToUtf16("a\xFF"
                    "b",
                    kUtf8),
            u"a\uFFFDb");
  EXPECT_EQ(FromUtf16(u"a\u00E9b", kUsAscii), "a?b");
  EXPECT_EQ(FromUtf16(u"x\U0001F600y", kGbk), "x?y");
  EXPECT_EQ(ToUtf16("abc", 12345), u"");
}

TEST(CodePage, CharSizeStepsOverWholeCharacters) {
  static const struct {
    const char* text;
    size_t pos;
    unsigned codePage;
    size_t size;
  } cases[] = {
      {"a", 0, kGbk, 1},
      {"\xD6\xD0", 0, kGbk, 2},
      {"\x81\x5C", 0, kGbk, 2},  // trail byte 0x5C is not a backslash
      {"\xD6", 0, kGbk, 1},      // cut-off lead byte
      {"\xE4\xB8\xAD", 0, kUtf8, 3},
      {"\xE4\xB8"
       "a",
       0, kUtf8, 2},  // broken sequence keeps the 'a'
      {"ab", 2, kUtf8, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CharSize(c.text, c.pos, c.codePage), c.size) << c.text << " at " << c.pos;
  }
}

TEST(CodePage, ScopedTextCodePageRestores) {
  const unsigned before = TextCodePage();
  {
    ScopedTextCodePage gbk(kGbk);
    EXPECT_EQ(TextCodePage(), kGbk);
  }
  EXPECT_EQ(TextCodePage(), before);
}

}  // namespace
}  // namespace qp::codepage
