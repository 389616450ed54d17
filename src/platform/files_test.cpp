#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "scratch_files.h"

namespace qp::files {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  // Removed with everything in it when the test ends.
  qp::testing::ScratchFolder scratch_;
  void SetUp() override { dir_ = scratch_.path(); }
  std::string dir_;
};

TEST_F(FilesTest, WriteAtomicallyCreatesOwnerOnlyAndKeepsExistingMode) {
  const Text path = dir_ + "/settings.ini";
  ASSERT_TRUE(WriteFileAtomically(path, "a=1\n", /*ownerOnly=*/true));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(WriteFileAtomically(path, "a=2\n", true));
  ::stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  Bytes content;
  ASSERT_TRUE(ReadWholeFile(path, &content));
  EXPECT_EQ(ToText(content), "a=2\n");
}

TEST_F(FilesTest, WriteAtomicallyHonoursTheUmaskForSharedFiles) {
  const mode_t old = ::umask(027);
  const Text path = dir_ + "/entry.desktop";
  const bool ok = WriteFileAtomically(path, "x", /*ownerOnly=*/false);
  ::umask(old);
  ASSERT_TRUE(ok);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // never world-writable
}

TEST_F(FilesTest, FailedWriteLeavesOldContentAndNoTemporaryFile) {
  const Text path = dir_ + "/missing-folder/settings.ini";
  EXPECT_FALSE(WriteFileAtomically(path, "x", true));
  EXPECT_FALSE(FindEntry(path));
}

TEST_F(FilesTest, EntriesTimesAndReadsOfFilesAndFolders) {
  const Text path = dir_ + "/data.bin";
  std::ofstream(path) << "12345";
  auto entry = FindEntry(path);
  ASSERT_TRUE(entry);
  EXPECT_FALSE(entry->isDirectory);
  EXPECT_EQ(entry->size, 5u);
  auto folder = FindEntry(dir_);
  ASSERT_TRUE(folder);
  EXPECT_TRUE(folder->isDirectory);
  EXPECT_EQ(folder->size, 0u);

  Times times;
  EXPECT_TRUE(ReadTimes(path, &times));
  EXPECT_GE(times.lastWrite.year, 2020);
  EXPECT_FALSE(ReadTimes(dir_, &times));
  Bytes content;
  EXPECT_FALSE(ReadWholeFile(dir_, &content));
  EXPECT_FALSE(ReadWholeFile(dir_ + "/none", &content));

  EXPECT_TRUE(DeleteFile(path));
  EXPECT_FALSE(DeleteFile(path));
  EXPECT_FALSE(FindEntry(path));
}

}  // namespace
}  // namespace qp::files

namespace qp::files {
namespace {

TEST_F(FilesTest, AppendWholeFileKeepsWhatWasThereAndRestoresItOnFailure) {
  static const struct { size_t size; } cases[] = {{0}, {1}, {65536}, {65537}, {300000}};
  for (const auto& c : cases) {
    const Text path = dir_ + "/f" + std::to_string(c.size);
    std::string data(c.size, '\0');
    for (size_t i = 0; i < c.size; ++i)
      data[i] = static_cast<char>(i * 7);
    std::ofstream(path, std::ios::binary) << data;
    Bytes content = {'h', 'e', 'a', 'd'};
    ASSERT_TRUE(AppendWholeFile(path, &content)) << c.size;
    EXPECT_EQ(ToText(content), "head" + data) << c.size;
  }
  Bytes content = {'x'};
  EXPECT_FALSE(AppendWholeFile(dir_, &content));
  EXPECT_FALSE(AppendWholeFile(dir_ + "/none", &content));
  EXPECT_EQ(ToText(content), "x");
}

}  // namespace
}  // namespace qp::files
