#include "shell/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/codepage.h"

namespace qp::shell {
namespace {

using codepage::kGbk;
using codepage::kUtf8;

TEST(Paths, FolderAndParentStepOverWholeCharacters) {
  static const struct {
    unsigned codePage;
    char separator;
    const char* path;
    const char* folder;  // FolderOfPath
    const char* parent;  // ParentFolderPath
  } cases[] = {
      {kGbk, '\\', "C:\\a\\b.exe", "C:\\a\\", "C:\\a\\"},
      {kGbk, '\\', "C:\\a\\b\\", "C:\\a\\b\\", "C:\\a\\"},
      {kGbk, '\\', "C:\\Quillpost.exe", "C:\\", "C:\\"},
      {kGbk, '\\', "C:\\", "C:\\", ""},
      {kGbk, '\\', "\\", "\\", ""},
      {kGbk, '\\', "noslash", "", ""},
      {kGbk, '\\', "", "", ""},
      // "\x81\x5C" is one GBK character whose trail byte is a backslash: the
      // search skips it, while the trailing check looks at the last byte only.
      {kGbk, '\\', "C:\\dir\\\x81\x5C", "C:\\dir\\", "C:\\dir\\"},
      {kGbk, '\\', "C:\\\x81\x5C\\x", "C:\\\x81\x5C\\", "C:\\\x81\x5C\\"},
      {kGbk, '\\', "\xD6\xD0\xCE\xC4\\a", "\xD6\xD0\xCE\xC4\\", "\xD6\xD0\xCE\xC4\\"},
      // Under UTF-8 0x81 is no lead byte, so the same 0x5C is a separator.
      {kUtf8, '\\', "C:\\dir\\\x81\x5C", "C:\\dir\\\x81\\", "C:\\dir\\"},
      {kUtf8, '/', "/home/u/.local/share/applications/", "/home/u/.local/share/applications/",
       "/home/u/.local/share/"},
      {kUtf8, '/', "/home/中文/x", "/home/中文/", "/home/中文/"},
      {kUtf8, '/', "/quillpost", "/", "/"},
      {kUtf8, '/', "/", "/", ""},
      {kUtf8, '/', "a", "", ""},
      {kGbk, '/', "/home/\xD6\xD0/x", "/home/\xD6\xD0/", "/home/\xD6\xD0/"},
  };
  for (const auto& c : cases) {
    codepage::ScopedTextCodePage page(c.codePage);
    EXPECT_EQ(FolderOfPath(c.path, c.separator), c.folder) << c.path << " @" << c.codePage;
    EXPECT_EQ(ParentFolderPath(c.path, c.separator), c.parent) << c.path << " @" << c.codePage;
  }
}

TEST(Paths, JoinPutsOneSeparatorBetween) {
  EXPECT_EQ(JoinPath("/opt/qp", "quillpost"), "/opt/qp/quillpost");
  EXPECT_EQ(JoinPath("/opt/qp/", "quillpost"), "/opt/qp/quillpost");
  EXPECT_EQ(JoinPath("/", "quillpost"), "/quillpost");
  EXPECT_EQ(JoinPath("", "quillpost"), "quillpost");
  EXPECT_EQ(JoinPath("C:", "Quillpost.exe", '\\'), "C:\\Quillpost.exe");
}

TEST(Paths, SpecialFolderPathEndsInOneSeparator) {
  const char* oldHome = ::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", "/home/u", 1);
  ::setenv("XDG_DATA_HOME", "/data/", 1);  // with a separator of its own
  static const struct {
    int kind;
    const char* path;
  } cases[] = {
      {5, "/data/applications/"},
      {8, "/data/"},
      {0, "/home/u/Desktop/"},
      {3, "/home/u/Desktop/"},
      {9, "/"},
      {2, ""},
      {13, ""},
      {-1, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SpecialFolderPath(c.kind), c.path) << c.kind;
  EXPECT_EQ(ParentFolderPath(SpecialFolderPath(5)), "/data/");
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace qp::shell
