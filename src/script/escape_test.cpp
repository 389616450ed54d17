#include "script/escape.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/text_find.h"

namespace qp::script {
namespace {

class EscapeTest : public ::testing::Test {
 protected:
  void SetUp() override { comBefore_ = com::InitializeCount(); }
  void TearDown() override { EXPECT_EQ(com::InitializeCount(), comBefore_); }

 private:
  int comBefore_ = 0;
};

TEST_F(EscapeTest, UnescapeText) {
  static const struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"", ""},
      {"plain text 中文", "plain text 中文"},
      {"a\\u0041b", "aAb"},
      {"50%25", "50%"},
      {"%u4e2d", "中"},
      {R"({"info":"\u4e0a\u4f20\u6210\u529f"})", R"({"info":"上传成功"})"},
      {R"({"a":"say \"hi\""})", R"({"a":"say "hi""})"},
      {R"(C:\\dir \/ \t.)", "C:\\dir / \t."},
      {"line\r\nbreak\r\n", "line\r\nbreak\r\n"},
      {"\rstarts with a lone CR", "starts with a lone CR"},
      {"It's", "It's"},
      // Once mangled: a lone LF, a CR inside, a trailing backslash, "{$}", "’".
      {"{\"info\":\"\\u4e0a\\u4f20\\u6210\\u529f\"}\n", "{\"info\":\"上传成功\"}\n"},
      {"a\rb\nc", "a\rb\nc"},
      {"ends in \\", "ends in \\"},
      {"keeps {$} as it is", "keeps {$} as it is"},
      {"’quoted’", "’quoted’"},
      {"\\'", "'"},
      {"\\x41\\x4", "Ax4"},
      {"\\uzz", "%uzz"},         // no four hex digits: left for unescape, which keeps it
      {"\\\\u0041", "\\u0041"},  // an escaped backslash before u is a backslash
      {"\xE2\x80\xA8", "\xE2\x80\xA8"},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      const Text text = codepage::SystemText(c.text);
      if (codepage::Convert(text, codePage, codepage::kUtf8) != c.text)
        continue;  // the code page lacks a character of this case
      EXPECT_EQ(UnescapeText(text), codepage::SystemText(c.result)) << codePage << " " << c.text;
    }
  }
}

TEST_F(EscapeTest, Utf16BytesToText) {
  static const struct {
    Bytes bytes;
    const char* text;
  } cases[] = {
      {{}, ""},
      {{0x61, 0x00, 0x62, 0x00}, "ab"},
      {{0x2D, 0x4E, 0x87, 0x65}, "中文"},
      {{0xFF, 0xFE, 0x61, 0x00}, "a"},  // a byte-order mark is not text
      {{0x61, 0x00, 0x62}, "a"},        // an odd last byte is left out
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases)
      EXPECT_EQ(Utf16BytesToText(c.bytes), codepage::SystemText(c.text))
          << codePage << " " << c.text;
  }
}

}  // namespace
}  // namespace qp::script
