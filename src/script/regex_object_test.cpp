#include "script/regex_object.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/text_find.h"

namespace qp::script {
namespace {

class RegexObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { comBefore_ = com::InitializeCount(); }
  void TearDown() override { EXPECT_EQ(com::InitializeCount(), comBefore_); }

 private:
  int comBefore_ = 0;
};

const char kCharsetPattern[] = "<meta.+?charset=[^\\w]?([-\\w]+)";

TEST_F(RegexObjectTest, FindsThePageCharset) {
  static const struct {
    const char* page;
    const char* charset;
  } cases[] = {
      {R"(<META http-equiv="Content-Type" content="text/html; charset=GBK">)", "GBK"},
      {R"(<meta charset="utf-8"><title>中文</title>)", "utf-8"},
      {"<html>\n<head>\n<meta http-equiv=\"x\" content=\"text/html; charset=gb2312\" />", "gb2312"},
      {R"(<meta name="x" content="y">)", ""},
      {"", ""},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      RegexObject regex;
      EXPECT_TRUE(regex.Search(kCharsetPattern, codepage::SystemText(c.page))) << c.page;
      EXPECT_EQ(regex.SubMatchText(1, 1), c.charset) << c.page;
    }
  }
}

TEST_F(RegexObjectTest, SearchResultAndCounts) {
  static const struct {
    const char* pattern;
    const char* subject;
    bool found;
    int matches;
    int groups;
    const char* group1;
  } cases[] = {
      {"a", "aXa", true, 2, 0, ""},      {"(a)(b)?", "ac", true, 1, 2, "a"},
      {"(b)?(a)", "ac", true, 1, 2, ""},  // a group that took no part
      {"z", "abc", true, 0, 0, ""},       // a collection, just an empty one
      {"(a", "abc", false, 0, 0, ""},    {"[", "abc", false, 0, 0, ""},
      {"", "ab", true, 3, 0, ""},      // empty matches move on
      {"^b", "a\nb", true, 1, 0, ""},  // multiline by default
  };
  for (const auto& c : cases) {
    RegexObject regex;
    EXPECT_EQ(regex.Search(c.pattern, c.subject), c.found) << c.pattern;
    EXPECT_EQ(regex.MatchCount(), c.matches) << c.pattern;
    EXPECT_EQ(regex.SubMatchCount(), c.matches ? c.groups : 0) << c.pattern;
    EXPECT_EQ(regex.SubMatchText(1, 1), c.group1) << c.pattern;
  }
}

TEST_F(RegexObjectTest, OptionsChangeTheSearch) {
  RegexObject regex;
  EXPECT_TRUE(regex.Search("A", "aA"));
  EXPECT_EQ(regex.MatchCount(), 2);  // letter case ignored by default
  EXPECT_TRUE(regex.Search("A", "aA", true));
  EXPECT_EQ(regex.MatchCount(), 1);
  EXPECT_TRUE(regex.Search("^b", "a\nb", std::nullopt, false));
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_TRUE(regex.Search("a", "aa", std::nullopt, std::nullopt, false));
  EXPECT_EQ(regex.MatchCount(), 1);
  EXPECT_EQ(regex.ReplaceMatches("b"), "ba");
  // The quote marker stands for a double quote only when asked for.
  const Text page = "charset=\"gbk\"";
  EXPECT_TRUE(regex.Search(codepage::SystemText("charset=#引号(\\w+)"), page, std::nullopt,
                           std::nullopt, std::nullopt, true));
  EXPECT_EQ(regex.SubMatchText(1, 1), "gbk");
  EXPECT_EQ(regex.GetPattern(), "charset=\"(\\w+)");
  EXPECT_TRUE(regex.Search(codepage::SystemText("charset=#引号(\\w+)"), page));
  EXPECT_EQ(regex.MatchCount(), 0);
}

TEST_F(RegexObjectTest, PositionsAreByteOffsetsInText) {
  static const struct {
    const char* pattern;
    const char* subject;
    int match;
    int group;  // 0: the match itself
    const char* text;
    int utf8Position;
    int gbkPosition;
  } cases[] = {
      {"a", "aa", 2, 0, "a", 1, 1},
      {"a", "中ab", 1, 0, "a", 3, 2},
      {"b(c)", "中文bc", 1, 1, "c", 7, 5},
      {"(a)b(a)", "aba", 1, 2, "a", 0, 0},  // the first place that holds the group's text
      {"x(A)", "中xa", 1, 1, "a", 4, 3},    // found ignoring case, as the search did
      {"😀(b)", "😀b", 1, 1, "b", 4, -2},     // outside the BMP: two units, four bytes
      {"a", "b", 1, 0, "", 0, 0},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      const int expected = codePage == codepage::kUtf8 ? c.utf8Position : c.gbkPosition;
      if (expected == -2)
        continue;  // GBK has no such character
      RegexObject regex;
      ASSERT_TRUE(regex.Search(codepage::SystemText(c.pattern), codepage::SystemText(c.subject)))
          << c.pattern;
      int position = -1;
      const Text text = c.group ? regex.SubMatchText(c.match, c.group, &position)
                                : regex.MatchText(c.match, &position);
      EXPECT_EQ(text, codepage::SystemText(c.text))
          << codePage << " " << c.pattern << " " << c.subject;
      EXPECT_EQ(position, expected) << codePage << " " << c.pattern << " " << c.subject;
    }
  }
}

TEST_F(RegexObjectTest, OutOfRangeIndexesGiveEmptyTexts) {
  RegexObject regex;
  EXPECT_EQ(regex.GetPattern(), "");
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.MatchText(1), "");
  EXPECT_EQ(regex.ReplaceMatches("x"), "");
  ASSERT_TRUE(regex.Search("(a)", "a"));
  for (int n : {0, 2, -1})
    EXPECT_EQ(regex.MatchText(n), "") << n;
  for (int k : {0, 2})
    EXPECT_EQ(regex.SubMatchText(1, k), "") << k;
  EXPECT_EQ(regex.MatchText(1), "a");
}

TEST_F(RegexObjectTest, ReplaceUsesGroupReferences) {
  static const struct {
    const char* pattern;
    const char* subject;
    const char* replacement;
    const char* result;
  } cases[] = {
      {"(\\w+)@(\\w+)", "me@host you@there", "$2 at $1", "host at me there at you"},
      {"中", "中a中", "文", "文a文"},
      {"a", "aa", "$$", "$$"},
      {"x", "abc", "y", "abc"},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      RegexObject regex;
      ASSERT_TRUE(regex.Search(codepage::SystemText(c.pattern), codepage::SystemText(c.subject)))
          << c.pattern;
      EXPECT_EQ(regex.ReplaceMatches(codepage::SystemText(c.replacement)),
                codepage::SystemText(c.result))
          << c.pattern;
    }
  }
}

// The engine's own limits end a search that would recurse too deep or find
// too many matches to copy; the object just reports no collection.
TEST_F(RegexObjectTest, OversizedSearchesFailCleanly) {
  static const struct {
    const char* pattern;
    std::string subject;
  } cases[] = {
      {"(a|b)*c", std::string(200000, 'a') + "c"},
      {"a", std::string(200000, 'a')},
  };
  for (const auto& c : cases) {
    RegexObject regex;
    EXPECT_FALSE(regex.Search(c.pattern, c.subject)) << c.pattern;
    EXPECT_EQ(regex.MatchCount(), 0) << c.pattern;
    EXPECT_TRUE(regex.Search("a", "ba")) << c.pattern;  // the next search works
  }
}

TEST_F(RegexObjectTest, CopySharesTheMatches) {
  RegexObject regex;
  ASSERT_TRUE(regex.Search("(b)", "abc"));
  {
    RegexObject copy = regex.Copy();
    EXPECT_EQ(copy.MatchText(1), "b");
    EXPECT_EQ(copy.GetPattern(), "(b)");
    ASSERT_TRUE(copy.Search("c", "abc"));
    EXPECT_EQ(copy.MatchText(1), "c");
  }
  EXPECT_EQ(regex.MatchText(1), "b");
  regex.Reserved();
  EXPECT_EQ(regex.SubMatchText(1, 1), "b");
}

}  // namespace
}  // namespace qp::script
