#include "http/headers.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/text_find.h"

namespace qp::http {
namespace {

const unsigned kTextCodePages[] = {codepage::kUtf8, codepage::kGbk};

const char kUserAgent[] =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
const char kAccept[] = "Accept: text/html, application/xhtml+xml, */*";
const char kAcceptEncoding[] = "Accept-Encoding: gbk, GB2312";
const char kAcceptLanguage[] = "Accept-Language: zh-cn";
const char kFormType[] = "Content-Type: application/x-www-form-urlencoded";
const char kCacheControl[] = "Cache-Control: no-cache";

Text Lines(std::initializer_list<std::string_view> lines) {
  Text out;
  for (std::string_view line : lines) {
    if (!out.empty())
      out += "\r\n";
    out += line;
  }
  return out;
}

TEST(BuildRequestHeadersTest, AssemblesTheBlock) {
  const Text defaultsGet =
      Lines({kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kCacheControl});
  const Text defaultsPost =
      Lines({kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kFormType, kCacheControl});
  static const struct {
    const char* extra;
    int method;
    const char* cookies;
    bool defaults;
    bool normalize;
    Text expected;
  } cases[] = {
      {"", 1, "a=1", true, true, defaultsPost + "\r\nCookie: a=1\r\n"},
      {"", 0, "a=1", true, true, defaultsGet + "\r\nCookie: a=1\r\n"},
      // Only method 1 is a POST as far as the default Content-Type goes.
      {"", 3, "", true, true, defaultsGet},
      {"", 0, "", false, true, ""},
      {"user-agent: X", 0, "", true, true,
       Lines({"User-Agent: X", kAccept, kAcceptEncoding, kAcceptLanguage, kCacheControl})},
      {"Content-Type: multipart/form-data; boundary=b", 1, "", true, true,
       Lines({"Content-Type: multipart/form-data; boundary=b", kUserAgent, kAccept, kAcceptEncoding,
              kAcceptLanguage, kCacheControl})},
      // "Accept: " is not a substring of "Accept-Encoding: ".
      {"Accept-Encoding: x", 0, "", true, true,
       Lines({"Accept-Encoding: x", kUserAgent, kAccept, kAcceptLanguage, kCacheControl})},
      {"X: 1", 0, "Cookie: a=1", false, true, "X: 1\r\nCookie: a=1\r\n"},
      {"X: 1", 0, "a=1", false, true, "X: 1\r\nCookie: a=1\r\n"},
      {"cookie: b=2", 0, "a=1", false, true, "Cookie: b=2"},
      {"X: 1\r\nno colon", 0, "", false, true, "X: 1"},
      {"X: 1\r\nno colon", 0, "", false, false, "X: 1\r\nno colon\r\n"},
      // Without normalisation the block keeps its CR LF, so the cookie line
      // follows an empty line; the transport skips empty lines.
      {"X: 1", 0, "a=1", false, false, "X: 1\r\n\r\nCookie: a=1\r\n"},
      {"A: 1\r\nConnection: keep-alive\r\nB: 2", 0, "", false, true, "A: 1\r\nB: 2"},
      {"A: 1\r\nConnection: Keep-Alive\r\nB: 2", 0, "", false, true,
       "A: 1\r\nConnection: Keep-Alive\r\nB: 2"},
      // The last line of a normalised block has no CR LF and stays.
      {"A: 1\r\nConnection: keep-alive", 0, "", false, true, "A: 1\r\nConnection: keep-alive"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildRequestHeaders(c.extra, c.method, c.cookies, c.defaults, c.normalize),
              c.expected)
        << "extra=" << c.extra << " method=" << c.method << " cookies=" << c.cookies
        << " defaults=" << c.defaults << " normalize=" << c.normalize;
  }
}

TEST(NormalizeHeadersTest, CapitalizesNamesOnly) {
  static const struct {
    const char* block;
    const char* expected;
  } cases[] = {
      {"user-agent: x", "User-Agent: x"},
      {"X-REQUESTED-with: y", "X-REQUESTED-With: y"},
      {"host: a-b:c", "Host: a-b:c"},
      {"a: 1\r\n\r\nb: 2\r\n", "A: 1\r\nB: 2"},
      {"-x-: v", "-X-: v"},
      {"no colon\r\n", ""},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NormalizeHeaders(c.block), c.expected) << c.block;
}

TEST(GetHeaderValueTest, FirstLineStartingWithTheName) {
  static const struct {
    const char* block;
    const char* name;
    const char* expected;
  } cases[] = {
      {"A: 1\r\nConnection: close\r\nConnection: x", "Connection", "close"},
      {"connection: close", "Connection", ""},
      {"Connection-X: 1", "Connection", ""},  // the first match has no "Connection: "
      {"Connection: a: Connection: b", "Connection", "b"},
      {"", "A", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetHeaderValue(c.block, c.name), c.expected) << c.block << " / " << c.name;
}

TEST(MarkerHelpersTest, CutAtMarkers) {
  static const struct {
    const char* function;
    const char* text;
    const char* open;
    const char* close;
    int position;
    bool ignoreCase;
    const char* expected;
  } cases[] = {
      {"before", "a=1; b=2", "; ", "", 0, false, "a=1"},
      {"before", "a=1; b=2; c", "; ", "", -1, false, "a=1; b=2"},
      {"before", "a; b; c", "; ", "", -4, false, "a; b"},
      {"before", "a; b; c", "; ", "", -5, false, "a"},
      {"before", "a; b; c", "; ", "", 3, false, "a; b"},
      {"before", "aXb", "x", "", 0, false, ""},
      {"before", "aXb", "x", "", 0, true, "a"},
      {"before", "abc", "", "", 0, false, ""},
      {"after", "a: 1: 2", ": ", "", 0, false, "2"},
      {"after", "a: 1: 2", ": ", "", -1, false, "1: 2"},
      {"after", "a: 1: 2", ": ", "", 5, false, "1: 2"},
      {"after", "abc", "z", "", 0, false, ""},
      {"between", "k=\"v\" x=\"w\"", "=\"", "\"", 0, false, "v"},
      {"between", "k=\"v\" x=\"w\"", "=\"", "\"", 4, false, "w"},
      {"between", "say \"word\" now", "#引号", "#引号", 0, false, "word"},
      {"between", "<A>x</A>", "<a>", "</a>", 0, true, "x"},
      {"between", "<A>x</A>", "<a>", "</a>", 0, false, ""},
      {"between", "open only", "open", "close", 0, false, ""},
      // In GBK the bytes of 甲乙 hold 滓 across the character boundary.
      {"before", "甲乙", "滓", "", 0, false, ""},
      {"between", "甲乙]", "滓", "]", 0, false, ""},
      {"between", "甲乙丙", "甲", "丙", 0, false, "乙"},
      {"between", "[值]", "[", "]", 0, false, "值"},
  };
  for (unsigned codePage : kTextCodePages) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      const Text text = codepage::SystemText(c.text), open = codepage::SystemText(c.open),
                 close = codepage::SystemText(c.close);
      Text got;
      if (std::string_view(c.function) == "before")
        got = TextBefore(text, open, c.position, c.ignoreCase);
      else if (std::string_view(c.function) == "after")
        got = TextAfter(text, open, c.position, c.ignoreCase);
      else
        got = TextBetween(text, open, close, c.position, c.ignoreCase);
      EXPECT_EQ(got, codepage::SystemText(c.expected))
          << c.function << "(" << c.text << ", " << c.open << ", " << c.close << ", " << c.position
          << ") code page " << codePage;
    }
  }
}

}  // namespace
}  // namespace qp::http
