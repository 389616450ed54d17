#include "http/text_find.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace qp::http {
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
      EXPECT_EQ(TrimBlanks(FromUtf8(c.text)), FromUtf8(c.expected))
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

}  // namespace
}  // namespace qp::http
