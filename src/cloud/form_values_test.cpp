#include "cloud/form_values.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "scratch_files.h"

namespace qp::cloud {
namespace {

using qp::testing::LocalClock;

class FormValuesTest : public ::testing::Test {
 protected:
  Text MakeFile(const Text& name, std::uint64_t size) {
    Text path = dir_ + "/" + name;
    EXPECT_TRUE(qp::testing::MakeSparseFile(path, size));  // no disk for the large ones
    return path;
  }
  qp::testing::ScratchFolder scratch_;
  const Text dir_ = scratch_.path();
};

TEST_F(FormValuesTest, SizeInKiBRoundsUpOverTheWhole64BitSize) {
  static const struct {
    long long bytes;
    long long kib;
  } cases[] = {
      {0, 0},
      {1, 1},
      {1024, 1},
      {1025, 2},
      {1048576, 1024},
      {2147483647LL, 2097152},
      {2147483648LL, 2097152},  // 2 GiB: past the signed 32-bit word
      {2147483649LL, 2097153},
      {4294967296LL + 1, 4194305},  // past the low 32-bit word altogether
  };
  for (const auto& c : cases)
    EXPECT_EQ(FileSizeKiB(MakeFile("f" + std::to_string(c.bytes), c.bytes)), c.kib) << c.bytes;
  EXPECT_EQ(FileSizeKiB(dir_ + "/missing"), -1);
  EXPECT_EQ(FileSizeKiB(dir_), 0);  // a folder's entry carries no size
}

TEST_F(FormValuesTest, TimeTextsAreLocalAndKeepTheTimeOfDay) {
  Text path = MakeFile("a.txt", 3);
  static const struct {
    LocalClock access, write;
    const char* lastAccess;
    const char* lastWrite;
  } cases[] = {
      {{2020, 2, 2, 9, 5, 3}, {2020, 2, 2, 9, 5, 3}, "2020-02-02 09:05:03", "2020-02-02 09:05:03"},
      // Midnight: the access text ends in the blank, the write text keeps 00:00:00.
      {{2021, 12, 31, 0, 0, 0}, {2021, 12, 31, 0, 0, 0}, "2021-12-31 ", "2021-12-31 00:00:00"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(qp::testing::SetFileTimes(path, c.access, c.write));
    Text creation = "x", lastWrite = "x", lastAccess = "x";
    ASSERT_TRUE(GetFileTimeTexts(path, &creation, &lastWrite, &lastAccess));
    EXPECT_EQ(lastWrite, c.lastWrite);
    EXPECT_EQ(lastAccess, c.lastAccess);
    EXPECT_EQ(creation.size(), 19u) << creation;
  }

  // Unopenable: the caller's texts stay as they were.
  for (const Text& bad : {dir_ + "/missing", dir_}) {
    Text creation = "c", lastWrite = "w", lastAccess = "a";
    EXPECT_FALSE(GetFileTimeTexts(bad, &creation, &lastWrite, &lastAccess)) << bad;
    EXPECT_EQ(creation + lastWrite + lastAccess, "cwa");
  }
}

TEST(FormValues, NamesAndExtensions) {
  static const struct {
    const char* path;
    const char* withExtension;
    const char* withoutExtension;
    const char* extension;
  } cases[] = {
      {"/home/u/a.txt", "a.txt", "a", ".txt"},
      {"/home/u/archive.tar.gz", "archive.tar.gz", "archive.tar", ".gz"},
      {"/home/u/README", "README", "README", ""},
      {"/home/u/.profile", ".profile", "", ".profile"},
      {"/home/u/dir/", "", "", ""},
      {"/home/u/dir.d/file", "file", "file", ""},
      {"/home/u/a.b c", "a.b c", "a.b c", ""},
      {"name.txt", "name.txt", "name", ".txt"},
      {"/home/u/中 文.txt", "中 文.txt", "中 文", ".txt"},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameOfPath(c.path, true), c.withExtension) << c.path;
    EXPECT_EQ(FileNameOfPath(c.path, false), c.withoutExtension) << c.path;
    EXPECT_EQ(ExtensionOfPath(c.path), c.extension) << c.path;
  }
}

TEST(FormValues, TextToUtf8FromEitherCodePageOrUtf16) {
  EXPECT_TRUE(TextToUtf8("").empty());
  EXPECT_EQ(ToText(TextToUtf8("a.txt")), "a.txt");
  EXPECT_EQ(ToText(TextToUtf8("", Bytes{'h', 0, 0x2d, 0x4e, 'x'})), "h中");
  {
    codepage::ScopedTextCodePage gbk(codepage::kGbk);
    // Two GBK characters (four bytes) and ".txt" become ten UTF-8 bytes.
    Bytes utf8 = TextToUtf8("\xD6\xD0\xCE\xC4.txt");
    EXPECT_EQ(utf8.size(), 10u);
    EXPECT_EQ(ToText(utf8), "中文.txt");
  }
}

}  // namespace
}  // namespace qp::cloud
