#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

namespace qp::files {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qp-files-XXXXXX";
    dir_ = ::mkdtemp(pattern);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
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
