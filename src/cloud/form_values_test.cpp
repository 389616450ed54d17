#include "cloud/form_values.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "platform/codepage.h"

namespace qp::cloud {
namespace {

class FormValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qp-form-XXXXXX";
    dir_ = ::mkdtemp(pattern);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  Text MakeFile(const Text& name, off_t size) {
    Text path = dir_ + "/" + name;
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    EXPECT_EQ(::ftruncate(fd, size), 0);  // sparse: no disk used for the large ones
    ::close(fd);
    return path;
  }
  static timespec LocalTime(int y, int mo, int d, int h, int mi, int s) {
    struct tm tm {};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return {std::mktime(&tm), 0};
  }
  Text dir_;
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
    timespec access, write;
    const char* lastAccess;
    const char* lastWrite;
  } cases[] = {
      {LocalTime(2020, 2, 2, 9, 5, 3), LocalTime(2020, 2, 2, 9, 5, 3), "2020-02-02 09:05:03",
       "2020-02-02 09:05:03"},
      // Midnight: the access text ends in the blank, the write text keeps 00:00:00.
      {LocalTime(2021, 12, 31, 0, 0, 0), LocalTime(2021, 12, 31, 0, 0, 0), "2021-12-31 ",
       "2021-12-31 00:00:00"},
  };
  for (const auto& c : cases) {
    timespec times[2] = {c.access, c.write};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
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
