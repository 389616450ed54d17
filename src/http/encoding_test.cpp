#include "http/encoding.h"

#include <gtest/gtest.h>

#include "http/text_find.h"
#include "platform/codepage.h"

namespace qp::http {
namespace {

TEST(AnsiToUtf16Test, ConvertsWithTerminatorUnlessDropped) {
  static const struct {
    const char* text;
    bool dropTerminator;
    Bytes expected;
  } cases[] = {
      {"", false, {}},
      {"", true, {}},
      {"a", false, {0x61, 0x00, 0x00, 0x00}},
      {"a", true, {0x61, 0x00}},
      {"中", false, {0x2D, 0x4E, 0x00, 0x00}},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      EXPECT_EQ(AnsiToUtf16(FromUtf8(c.text), c.dropTerminator), c.expected)
          << c.text << " drop=" << c.dropTerminator << " code page " << codePage;
    }
  }
}

TEST(AnsiToUtf16Test, StopsAtAnEmbeddedNul) {
  EXPECT_EQ(AnsiToUtf16(Text("a\0b", 3)), (Bytes{0x61, 0x00, 0x00, 0x00}));
}

TEST(Utf16ToAnsiTest, ConvertsUpToTheFirstNulUnit) {
  static const struct {
    Bytes utf16;
    const char* expected;
  } cases[] = {
      {{0x61, 0x00, 0x62, 0x00}, "ab"},   {{0x61, 0x00, 0x00, 0x00, 0x62, 0x00}, "a"},
      {{0x61, 0x00, 0x62}, "a"},  // an odd last byte is ignored
      {{0x2D, 0x4E, 0x87, 0x65}, "中文"}, {{}, ""},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases)
      EXPECT_EQ(Utf16ToAnsi(c.utf16), FromUtf8(c.expected))
          << c.expected << " code page " << codePage;
  }
}

TEST(Utf16ToAnsiTest, CharactersTheCodePageLacksBecomeQuestionMarks) {
  codepage::ScopedTextCodePage scoped(codepage::kGbk);
  EXPECT_EQ(Utf16ToAnsi({0x3D, 0xD8, 0x00, 0xDE}), "?");  // U+1F600
}

}  // namespace
}  // namespace qp::http
