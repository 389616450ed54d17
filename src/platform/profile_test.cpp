#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/codepage.h"
#include "platform/files.h"
#include "scratch_files.h"

namespace qp::profile {
namespace {

class ProfileTest : public ::testing::Test {
 protected:
  // Removed with everything in it when the test ends.
  qp::testing::ScratchFolder scratch_;
  void SetUp() override {
    dir_ = scratch_.path();
    path_ = dir_ + "/设置.ini";
  }

  void Put(const Text& content) { std::ofstream(path_, std::ios::binary) << content; }
  Text Get() {
    Bytes content;
    return files::ReadWholeFile(path_, &content) ? ToText(content) : "<missing>";
  }
  Text Read(const Text& key, std::size_t bufferSize = 10240) {
    return ReadString("lanzouyun", key, "", path_, bufferSize);
  }

  std::string dir_, path_;
};

TEST_F(ProfileTest, ReadsLikeTheWindowsProfileFunctions) {
  static const struct {
    const char* file;
    const char* key;
    const char* value;
  } cases[] = {
      {"[lanzouyun]\nusername=bob\n", "username", "bob"},
      {"[LanZouYun]\nUserName=bob\n", "username", "bob"},  // names ignore case
      {"  [ lanzouyun ]  \n  username  =   bob  \n", "username", "bob"},
      {"[lanzouyun]\r\nusername=bob\r\n", "username", "bob"},
      {"\xEF\xBB\xBF[lanzouyun]\nusername=bob\n", "username", "bob"},  // editor's BOM
      {"[lanzouyun]\npassword=\"a b\"\n", "password", "a b"},          // quotes dropped
      {"[lanzouyun]\npassword='x'\n", "password", "x"},
      {"[lanzouyun]\npassword=\"x'\n", "password", "\"x'"},  // unmatched quotes kept
      {"[lanzouyun]\ncookies=a=1; b=2\n", "cookies", "a=1; b=2"},
      {"[lanzouyun]\nusername=first\nusername=second\n", "username", "first"},
      {"[other]\nusername=bob\n", "username", ""},
      {"[other]\nusername=bob\n[lanzouyun]\nx=1\n", "username", ""},
      {"username=bob\n[lanzouyun]\n", "username", ""},
      {"[lanzouyun]\nusername\n", "username", ""},  // a line without '=' is no key
      {"[lanzouyun]\nusername=", "username", ""},
      {"[lanzouyun]\nusername=张三\n", "username", "张三"},
      {"", "username", ""},
  };
  for (const auto& c : cases) {
    Put(c.file);
    EXPECT_EQ(Read(c.key), c.value) << c.file;
  }
}

TEST_F(ProfileTest, MissingFileGivesTheDefaultAndReadsAreCutToTheBuffer) {
  EXPECT_EQ(ReadString("lanzouyun", "username", "dflt", path_, 10240), "dflt");
  Put("[lanzouyun]\ncookies=" + Text(10300, 'c') + "\n");
  EXPECT_EQ(Read("cookies").size(), 10239u);
  EXPECT_EQ(Read("cookies", 1), "");
  EXPECT_EQ(Read("cookies", 0), "");
}

TEST_F(ProfileTest, WritesLikeTheWindowsProfileFunctions) {
  static const struct {
    const char* before;  // nullptr: no file
    const char* key;
    const char* value;  // nullptr: remove the key
    const char* after;  // nullptr: no file
  } cases[] = {
      {nullptr, "username", "", "[lanzouyun]\nusername=\n"},
      {nullptr, "cookies", nullptr, nullptr},  // removing creates nothing
      {"[lanzouyun]\nusername=\n", "password", "", "[lanzouyun]\nusername=\npassword=\n"},
      {"[lanzouyun]\r\nUserName = old \r\n", "username", "new", "[lanzouyun]\r\nusername=new\r\n"},
      {"[lanzouyun]\ncookies=a\nusername=u\n", "cookies", nullptr, "[lanzouyun]\nusername=u\n"},
      {"[lanzouyun]\nusername=u\n", "cookies", nullptr, "[lanzouyun]\nusername=u\n"},
      {"; mine\n[other]\nk = v\n", "cookies", "c=1",
       "; mine\n[other]\nk = v\n[lanzouyun]\ncookies=c=1\n"},
      {"[other]\nk=v", "cookies", "c", "[other]\nk=v\n[lanzouyun]\ncookies=c\n"},
      {"[lanzouyun]\nusername=u\n\n[other]\nk=v\n", "cookies", "c",
       "[lanzouyun]\nusername=u\ncookies=c\n\n[other]\nk=v\n"},
      {"[lanzouyun]\nusername=u", "cookies", "c", "[lanzouyun]\nusername=u\ncookies=c\n"},
      {"\xEF\xBB\xBF[lanzouyun]\nusername=u\n", "username", "v",
       "\xEF\xBB\xBF[lanzouyun]\nusername=v\n"},
  };
  for (const auto& c : cases) {
    if (c.before)
      Put(c.before);
    else
      ::unlink(path_.c_str());
    std::optional<Text> value;
    if (c.value)
      value = c.value;
    EXPECT_TRUE(WriteString("lanzouyun", c.key, value, path_)) << (c.before ? c.before : "(none)");
    EXPECT_EQ(Get(), c.after ? c.after : "<missing>") << (c.before ? c.before : "(none)");
  }
}

TEST_F(ProfileTest, CreatedFileIsOwnerOnlyAndEditedFileKeepsItsMode) {
  ASSERT_TRUE(WriteString("lanzouyun", "password", Text("secret"), path_));
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ::chmod(path_.c_str(), 0640);
  ASSERT_TRUE(WriteString("lanzouyun", "password", Text("other"), path_));
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ProfileTest, RefusesWritesThatWouldSpillIntoOtherLines) {
  const Text before = "[lanzouyun]\nusername=u\npassword=p\n";
  static const struct {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"lanzouyun", "cookies", "a=1\npassword=stolen"},
      {"lanzouyun", "cookies", "a=1\r"},
      {"lanzouyun", "pass=word", "x"},
      {"lanzouyun", "coo\nkies", "x"},
      {"lanzou\nyun", "cookies", "x"},
  };
  for (const auto& c : cases) {
    Put(before);
    EXPECT_FALSE(WriteString(c.section, c.key, Text(c.value), path_)) << c.key << "=" << c.value;
    EXPECT_EQ(Get(), before);
  }
}

TEST_F(ProfileTest, UnreadableFileIsNotReplaced) {
  ASSERT_EQ(::mkdir(path_.c_str(), 0700), 0);
  EXPECT_FALSE(WriteString("lanzouyun", "cookies", Text("c"), path_));
  EXPECT_TRUE(files::FindEntry(path_)->isDirectory);
  EXPECT_FALSE(WriteString("lanzouyun", "cookies", Text("c"), dir_ + "/no/such/folder.ini"));
}

TEST_F(ProfileTest, GbkNamesFoldOnlyWholeSingleByteCharacters) {
  codepage::ScopedTextCodePage gbk(codepage::kGbk);
  // "\x81\x61" and "\x81\x41" are two different GBK characters whose trail
  // bytes look like 'a' and 'A'.
  Put("[lanzouyun]\n\x81\x61=lower\n");
  EXPECT_EQ(ReadString("lanzouyun", "\x81\x61", "", path_, 100), "lower");
  EXPECT_EQ(ReadString("lanzouyun", "\x81\x41", "", path_, 100), "");
  EXPECT_EQ(ReadString("LANZOUYUN", "\x81\x61", "", path_, 100), "lower");
}

}  // namespace
}  // namespace qp::profile
