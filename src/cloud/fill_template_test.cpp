#include "cloud/fill_template.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace qp::cloud {
namespace {

TEST(FillTemplate, AppliesPairsInOrderWithOptions) {
  static const struct {
    const char* text;
    std::vector<Replacement> pairs;
    FillOptions options;
    const char* expected;
  } cases[] = {
      {"[a]-[b]-[a]", {{"[a]", "1"}, {"[b]", "2"}}, {}, "1-2-1"},
      // Each pair works on the previous result; inserted values are not rescanned.
      {"[a]", {{"[a]", "[a][b]"}, {"[b]", "x"}}, {}, "[a]x"},
      {"[a][a]", {{"[a]", "[a]"}}, {}, "[a][a]"},
      {"[A]x[a]", {{"[a]", "1"}}, {}, "1x1"},
      {"[A]x[a]", {{"[a]", "1"}}, {std::nullopt, 0, true}, "[A]x1"},
      {"[a][a][a]", {{"[a]", "1"}}, {2, 0, false}, "11[a]"},
      {"[a][a]", {{"[a]", "1"}}, {0, 0, false}, "[a][a]"},
      {"[a][a]", {{"[a]", "1"}}, {std::nullopt, 2, false}, "[a]1"},
      {"[a]", {{"[a]", "1"}}, {std::nullopt, 9, false}, "[a]"},
      {"abc", {{"", "x"}}, {}, "abc"},
      {"", {{"[a]", "1"}}, {}, ""},
      {"[目录ID]/[文件大小]", {{"[目录ID]", "-1"}, {"[文件大小]", "2"}}, {}, "-1/2"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FillTemplate(c.text, c.pairs, c.options), c.expected) << c.text;
}

TEST(FillTemplate, NeverMatchesOnAGbkTrailByte) {
  codepage::ScopedTextCodePage gbk(codepage::kGbk);
  // 0x81 0x5B is one GBK character whose trail byte is '['.
  const Text text = "\x81[a]";
  EXPECT_EQ(FillTemplate(text, {{"[a]", "1"}}), "\x81[a]");
  EXPECT_EQ(FillTemplate("\x81\x40[a]", {{"[a]", "1"}}),
            "\x81\x40"
            "1");
}

}  // namespace
}  // namespace qp::cloud
