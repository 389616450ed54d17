#include "http/encoding.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/text_find.h"
#include "script/regex_object.h"

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
      EXPECT_EQ(AnsiToUtf16(codepage::SystemText(c.text), c.dropTerminator), c.expected)
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
      EXPECT_EQ(Utf16ToAnsi(c.utf16), codepage::SystemText(c.expected))
          << c.expected << " code page " << codePage;
  }
}

TEST(Utf16ToAnsiTest, CharactersTheCodePageLacksBecomeQuestionMarks) {
  codepage::ScopedTextCodePage scoped(codepage::kGbk);
  EXPECT_EQ(Utf16ToAnsi({0x3D, 0xD8, 0x00, 0xDE}), "?");  // U+1F600
}

}  // namespace
}  // namespace qp::http

namespace qp::http {
namespace {

Bytes InCodePage(const char* utf8, unsigned codePage) {
  return ToBytes(codepage::Convert(utf8, codepage::kUtf8, codePage));
}

TEST(DecodeResponseTextTest, DecodesDeclaredCharsetsOtherThanTheTextCodePage) {
  const std::string padding(1100, ' ');
  static const struct {
    unsigned textCodePage;
    unsigned bodyCodePage;
    std::string page;      // UTF-8 here, sent in bodyCodePage
    std::string expected;  // UTF-8 here, expected in textCodePage
  } cases[] = {
      {codepage::kUtf8, codepage::kUtf8, "", ""},
      // Declared in the Text code page's own name: taken as it is.
      {codepage::kUtf8, codepage::kUtf8, "<meta charset=utf-8>我的文件",
       "<meta charset=utf-8>我的文件"},
      {codepage::kGbk, codepage::kGbk, "<meta charset=gbk>我的文件", "<meta charset=gbk>我的文件"},
      {codepage::kGbk, codepage::kGbk, "<meta charset=gb2312>文件", "<meta charset=gb2312>文件"},
      // Declared otherwise: decoded into the Text code page.
      {codepage::kUtf8, codepage::kGbk,
       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">我的文件",
       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">我的文件"},
      {codepage::kGbk, codepage::kUtf8, "<META CHARSET=\"UTF-8\">上传成功",
       "<META CHARSET=\"UTF-8\">上传成功"},
      {codepage::kGbk, codepage::kGbk, "<meta charset=GBK>文件", "<meta charset=GBK>文件"},
      // Undeclared, or declared too late: raw bytes.
      {codepage::kUtf8, codepage::kUtf8, "我的文件", "我的文件"},
      {codepage::kGbk, codepage::kUtf8, padding + "<meta charset=utf-8>",
       padding + "<meta charset=utf-8>"},
  };
  for (const auto& c : cases) {
    codepage::ScopedTextCodePage scoped(c.textCodePage);
    const int comBefore = com::InitializeCount();
    script::RegexObject regex;
    const Bytes body = InCodePage(c.page.c_str(), c.bodyCodePage);
    Text expected = codepage::Convert(c.expected, codepage::kUtf8, c.textCodePage);
    if (c.page.size() > 1024)  // undecoded: the body's own bytes
      expected = ToText(body);
    EXPECT_EQ(DecodeResponseText(body, regex), expected)
        << c.page.substr(0, 60) << " text code page " << c.textCodePage;
    EXPECT_EQ(com::InitializeCount(), comBefore + 1) << "only the regex object's own";
  }
}

TEST(DecodeResponseTextTest, ZeroBytesAndUnreadableCharsets) {
  script::RegexObject regex;
  static const struct {
    Bytes body;
    Text expected;
  } cases[] = {
      {{'a', 'b', 0, 'c'}, "ab"},
      {ToBytes(Text("<meta charset=utf-8>ab\0c", 24)), "<meta charset=utf-8>ab"},
      // A declared charset sends the whole body through the stream.
      {ToBytes(Text("<meta charset=latin1>ab\0c", 25)), Text("<meta charset=latin1>ab\0c", 25)},
      // A charset the stream cannot read leaves nothing.
      {ToBytes("<meta charset=x-unknown>abc"), ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecodeResponseText(c.body, regex), c.expected) << ToText(c.body);
}

}  // namespace
}  // namespace qp::http
