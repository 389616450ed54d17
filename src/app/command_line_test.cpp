#include "app/command_line.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace qp::app {
namespace {

using codepage::kGbk;
using codepage::kUtf8;
using Args = std::vector<Text>;

TEST(SplitCommandLine, SplitsAsTheFileManagerQuotesIt) {
  static const struct {
    unsigned codePage;
    const char* line;
    Args args;
  } cases[] = {
      {kUtf8, "", {}},
      {kUtf8, "quillpost", {}},
      {kUtf8, "quillpost ", {}},
      {kUtf8, "\"C:\\Program Files\\Quillpost.exe\"", {}},
      {kUtf8,
       "\"C:\\Program Files\\Quillpost.exe\" \"D:\\my files\\a b.txt\"",
       {"D:\\my files\\a b.txt"}},
      {kUtf8, "\"C:\\Q.exe\"\"D:\\x.txt\"", {"D:\\x.txt"}},  // no blank after the path
      {kUtf8, "C:\\Q.exe D:\\a.txt  \t E:\\b.txt", {"D:\\a.txt", "E:\\b.txt"}},
      {kUtf8, "q \"a b\"c d\"e f\"", {"a b", "c", "d", "e f"}},
      {kUtf8, "q \"\"", {""}},
      {kUtf8, "q \"unclosed path", {"unclosed path"}},
      {kUtf8, "\"unclosed program path", {}},
      {kUtf8,
       "q a\x01"
       "b\x1F"
       "c",
       {"a", "b", "c"}},  // control characters separate
      {kUtf8, "q \"D:\\中文\\文件.txt\" 第二", {"D:\\中文\\文件.txt", "第二"}},
      // A quote after a UTF-8 character still ends the argument.
      {kUtf8, "q a\xE4\xB8\xAD\"b\"", {"a\xE4\xB8\xAD", "b"}},
      // GBK: a lead byte takes the next byte along, even a quote or a blank.
      {kGbk, "q \"D:\\\xD6\xD0\xCE\xC4.txt\"", {"D:\\\xD6\xD0\xCE\xC4.txt"}},
      {kGbk, "q \"a\x81\"b\" c", {"a\x81\"b", "c"}},
      {kGbk, "q a\x81 b c", {"a\x81 b", "c"}},
      {kGbk, "\"C:\\\x81\"x.exe\" f", {"f"}},
      {kGbk, "C:\\\x81 x.exe f", {"f"}},
  };
  for (const auto& c : cases) {
    codepage::ScopedTextCodePage page(c.codePage);
    EXPECT_EQ(SplitCommandLine(c.line), c.args) << "[" << c.line << "] @" << c.codePage;
  }
}

}  // namespace
}  // namespace qp::app
