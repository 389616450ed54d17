#include "platform/text_find.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace qp::text {
namespace {

TEST(TrimBlanksTest, RemovesAsciiAndFullWidthSpacesOnly) {
  static const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"  a=1  ", "a=1"}, {"\u3000a=1\u3000 ", "a=1"},  {"\ta=1\r\n", "\ta=1\r\n"},
      {" \u3000 ", ""},   {"值\u3000值", "值\u3000值"}, {"", ""},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases)
      EXPECT_EQ(TrimBlanks(codepage::SystemText(c.text)), codepage::SystemText(c.expected))
          << c.text << " code page " << codePage;
  }
}

TEST(TrimBlanksTest, KeepsGbkBytesThatOnlyLookLikeAFullWidthSpace) {
  codepage::ScopedTextCodePage scoped(codepage::kGbk);
  // B0 A1 is one character; A1 A1 after its lead byte is no full-width space.
  const Text text = "\xB0\xA1\xA1";
  EXPECT_EQ(TrimBlanks(text), text);
  EXPECT_EQ(TrimBlanks("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
}

TEST(SplitTextTest, CountsInnerEmptyPiecesButNotATrailingOne) {
  static const struct {
    const char* text;
    std::vector<Text> expected;
  } cases[] = {
      {"", {}}, {"a", {"a"}}, {"a; ", {"a"}}, {"a; ; b", {"a", "", "b"}}, {"; a", {"", "a"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SplitText(c.text, "; "), c.expected) << c.text;
}

// GBK trail bytes include '\\' (5C) and '[' (5B): a search must not start a
// match inside a character, also when asked to start there.
TEST(FindTextTest, MatchesOnlyOnCharacterStartsUnderGbk) {
  codepage::ScopedTextCodePage scoped(codepage::kGbk);
  static const struct {
    const char* text;
    const char* needle;
    std::size_t from;
    std::size_t expected;
  } cases[] = {
      {"\x81\\a\\", "\\", 0, 3},  // 81 5C is one character
      {"\x81\\a\\", "\\", 1, 3},  // `from` inside that character
      {"\xD6\xD0[x]", "[", 0, 2}, {"\x81[\x81[", "[", 0, kNotFound},
      {"aAa", "A", 1, 1},         {"abc", "", 0, kNotFound},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindText(c.text, c.needle, c.from), c.expected) << c.text << " from " << c.from;
  EXPECT_EQ(FindLastText("\\\x81\\", "\\"), 0u);
}

TEST(ReplaceAllTest, ReplacesWholeCharactersLeftToRightWithoutRescanning) {
  codepage::ScopedTextCodePage scoped(codepage::kGbk);
  static const struct {
    const char* text;
    const char* from;
    const char* to;
    bool ignoreCase;
    const char* expected;
  } cases[] = {
      {"a\\b\x81\\c", "\\", "/", false, "a/b\x81\\c"},
      {"xx", "x", "xx", false, "xxxx"},
      {"AbaB", "ab", "-", true, "--"},
      {"abc", "", "-", false, "abc"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReplaceAll(c.text, c.from, c.to, c.ignoreCase), c.expected) << c.text;
}

}  // namespace
}  // namespace qp::text
