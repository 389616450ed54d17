#include "http/cookies.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/text_find.h"

namespace qp::http {
namespace {

TEST(MergeCookiesTest, NewValuesWinDeletedGoOthersStay) {
  static const struct {
    const char* oldText;
    const char* newText;
    const char* expected;
  } cases[] = {
      {"a=1; b=2", "a=3; c=4", "a=3; c=4; b=2"},
      {"a=1; b=2", "a=deleted", "b=2"},
      {"a=1; b=2", "", "a=1; b=2"},
      {"a=1; a=2", "", "a=1"},
      {"a=1; b=2; ", "", "a=1; b=2"},
      {"a=1; b=2;", "", "a=1; b=2"},
      {"  a=1; b=2  ", "", "a=1; b=2"},
      {"\u3000a=1; b=2\u3000", "c=3;", "c=3; a=1; b=2"},
      {"", "", ""},
      {"", "x=deleted", ""},
      {"a=1", "b=2; b=3", "b=2; b=3; a=1"},  // only exact repeats go
      {"a=1", "b=2; b=2", "b=2; a=1"},
      {"flag; a=1", "flag", "flag; a=1"},  // an item without "=" is its own name
      {" a =1", "a=2", "a=2"},             // names are trimmed before comparing
      {"A=1", "a=2", "a=2; A=1"},          // and compared with exact letter case
      {"会话=旧", "会话=新", "会话=新"},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      Text oldText = codepage::SystemText(c.oldText);
      const Text merged = MergeCookies(oldText, codepage::SystemText(c.newText));
      EXPECT_EQ(merged, codepage::SystemText(c.expected))
          << c.oldText << " + " << c.newText << " code page " << codePage;
      EXPECT_EQ(oldText, merged) << c.oldText << " + " << c.newText;
    }
  }
}

TEST(CollectResponseCookiesTest, ReadsSetCookieLinesAndMerges) {
  static const struct {
    const char* headers;
    const char* responseCookiesBefore;
    const char* cookiesBefore;
    bool merge;
    const char* responseCookiesAfter;
    const char* cookiesAfter;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nSet-Cookie: s=1; path=/\r\nSet-Cookie: t=2\r\n\r\n", "", "", true,
       "s=1; t=2", ""},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: a=3; path=/\r\n\r\n", "", "a=1; b=2", true, "a=3; b=2",
       "a=3; b=2"},
      // A response that sets nothing still refreshes the caller's text.
      {"HTTP/1.1 200 OK\r\n\r\n", "", "a=1; b=2; ", true, "a=1; b=2", "a=1; b=2"},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: a=3\r\n\r\n", "", "a=1", false, "a=3", "a=1"},
      {"HTTP/1.1 200 OK\r\nset-cookie: u=3\r\nSet-Cookie:v=4\r\n\r\n", "", "", true, "", ""},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: s=1\r\nSet-Cookie: s=2\r\n\r\n", "", "a=1", true,
       "s=1; s=2; a=1", "s=1; s=2; a=1"},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: a=deleted; expires=Thu, 01 Jan 1970\r\n\r\n", "", "a=1; b=2",
       true, "b=2", "b=2"},
      // The variable is appended to, not cleared.
      {"HTTP/1.1 200 OK\r\nSet-Cookie: t=2\r\n\r\n", "x=0; ", "", true, "x=0; t=2", ""},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: \u3000名=值\u3000; path=/\r\n\r\n", "", "", true, "名=值",
       ""},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      Text responseCookies = codepage::SystemText(c.responseCookiesBefore);
      Text cookies = codepage::SystemText(c.cookiesBefore);
      CollectResponseCookies(codepage::SystemText(c.headers), responseCookies, cookies, c.merge);
      EXPECT_EQ(responseCookies, codepage::SystemText(c.responseCookiesAfter))
          << c.headers << " code page " << codePage;
      EXPECT_EQ(cookies, codepage::SystemText(c.cookiesAfter))
          << c.headers << " code page " << codePage;
    }
  }
}

TEST(RemoveDuplicateItemsTest, KeepsFirstOfExactRepeats) {
  static const struct {
    const char* text;
    const char* separator;
    const char* expected;
  } cases[] = {
      {"a; b; a; c; b", "; ", "a; b; c"},
      {"a; A", "; ", "a; A"},
      {"a,,a,", ",", "a,"},  // the empty inner piece is an item too
      {"", "; ", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RemoveDuplicateItems(c.text, c.separator), c.expected) << c.text;
}

TEST(IndexOfItemTest, OneBasedOrMinusOne) {
  const std::vector<Text> items = {"a", "b", "a"};
  EXPECT_EQ(IndexOfItem(items, "a"), 1);
  EXPECT_EQ(IndexOfItem(items, "b"), 2);
  EXPECT_EQ(IndexOfItem(items, "B"), -1);
  EXPECT_EQ(IndexOfItem({}, "a"), -1);
}

}  // namespace
}  // namespace qp::http
