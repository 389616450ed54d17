#include "app/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/files.h"
#include "platform/process.h"
#include "scratch_files.h"

namespace qp::app {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  // Removed with everything in it when the test ends.
  qp::testing::ScratchFolder scratch_;
  void SetUp() override {
    dir_ = scratch_.path();
    process::SetRunDirectory(dir_);
  }
  void TearDown() override { process::SetRunDirectory(""); }
  Text File() {
    Bytes content;
    return files::ReadWholeFile(dir_ + "/设置.ini", &content) ? ToText(content) : "<missing>";
  }
  std::string dir_;
};

TEST_F(SettingsTest, LivesBesideTheExecutable) {
  EXPECT_EQ(SettingsFilePath(), dir_ + "/设置.ini");
  process::SetRunDirectory("/");
  EXPECT_EQ(SettingsFilePath(), "/设置.ini");
}

TEST_F(SettingsTest, MissingFileReadsEmptyAndTheResetCreatesItReadyToFillIn) {
  for (const char* key : {"cookies", "username", "password"})
    EXPECT_EQ(ReadSetting(key), "") << key;
  EXPECT_EQ(File(), "<missing>");  // reading writes nothing

  WriteSetting("username", "");
  WriteSetting("password", "");
  WriteSetting("cookies", "");
  EXPECT_EQ(File(), "[lanzouyun]\nusername=\npassword=\ncookies=\n");
  struct stat st {};
  ASSERT_EQ(::stat((dir_ + "/设置.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsTest, SignInKeepsTheUsersLinesAndAnEmptyCookieRemovesTheKey) {
  std::ofstream(dir_ + "/设置.ini") << "; 账号\n[lanzouyun]\nusername = 张三\npassword = pw\n";
  EXPECT_EQ(ReadSetting("username"), "张三");
  EXPECT_TRUE(WriteSetting("cookies", "ylogin=1; phpdisk_info=abc"));
  EXPECT_EQ(
      File(),
      "; 账号\n[lanzouyun]\nusername = 张三\npassword = pw\ncookies=ylogin=1; phpdisk_info=abc\n");
  EXPECT_EQ(ReadSetting("Cookies"), "ylogin=1; phpdisk_info=abc");
  EXPECT_TRUE(RemoveSetting("cookies"));
  EXPECT_EQ(File(), "; 账号\n[lanzouyun]\nusername = 张三\npassword = pw\n");
  EXPECT_EQ(ReadSetting("cookies"), "");
}

TEST_F(SettingsTest, LongCookieTextIsCutToTheReadBuffer) {
  const Text cookie(20000, 'k');
  ASSERT_TRUE(WriteSetting("cookies", cookie));
  EXPECT_EQ(ReadSetting("cookies"), cookie.substr(0, 10239));
}

}  // namespace
}  // namespace qp::app
