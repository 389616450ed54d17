// The session check and the upload job on the recording FakeGui, against the
// service emulator on loopback: the window's looks, the status texts, the
// worker thread and the ending, where the end-to-end tests see only output.
#include "app/session_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "app/main_window.h"
#include "app/program.h"
#include "app/settings.h"
#include "app/upload_job.h"
#include "cloud/origins.h"
#include "emulator/emulator.h"
#include "loopback_server.h"
#include "platform/gui_fake.h"
#include "scratch_files.h"

namespace qp::app {
namespace {

using Calls = std::vector<std::string>;

const char kUser[] = "阿明";
const char kPassword[] = "p&ss+=% 1";
const char kSeeded[] = "phpdisk_info=seeded";
const char kSuccess[] = "创建链接成功!并且已经复制到剪辑版，请按 Ctrl + V 粘贴！";

class SessionCheckTest : public ::testing::Test {
 protected:
  // Removed with everything in it when the test ends.
  qp::testing::ScratchFolder scratch_;
  void SetUp() override {
    // The link goes to standard output without a desktop; the desktop
    // clipboard of the machine running the tests is left alone.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
      if (const char* value = std::getenv(name))
        savedEnv_.emplace_back(name, value);
      ::unsetenv(name);
    }
    run_ = scratch_.path();
    process::SetRunDirectory(run_);
    file_ = run_ + "/a.txt";
    std::ofstream(file_) << "hello";
    emulator::Options o;
    o.accounts[kUser] = kPassword;
    o.sessions = {kSeeded};
    emulator_ = std::make_unique<emulator::Emulator>(o);
    ASSERT_TRUE(emulator_->Start()) << emulator_->error();
    origins_ = std::make_unique<cloud::ScopedOrigins>(cloud::ServiceOrigins{
        emulator_->origin(emulator::Origin::kAccount), emulator_->origin(emulator::Origin::kUpload),
        emulator_->origin(emulator::Origin::kShare)});
  }
  void TearDown() override {
    origins_.reset();
    emulator_.reset();
    process::SetRunDirectory("");
    for (const auto& [name, value] : savedEnv_)
      ::setenv(name.c_str(), value.c_str(), 1);
  }
  void WriteSettings(const std::string& lines) {
    std::ofstream(run_ + "/设置.ini") << "[lanzouyun]\n" << lines;
  }
  // The program with the file, on `gui`; what it printed on standard output.
  std::string Run(gui::FakeGui& gui) {
    ::testing::internal::CaptureStdout();
    RunProgram(gui, {std::nullopt, {file_}});
    return ::testing::internal::GetCapturedStdout();
  }
  // The calls from the check's first step on, without the window's creation.
  static Calls After(const gui::FakeGui& gui, const std::string& first) {
    Calls calls = gui.Calls();
    auto from = std::find(calls.begin(), calls.end(), first);
    return Calls(from, calls.end());
  }
  std::string Link() {
    return emulator_->origin(emulator::Origin::kShare) + "/" + emulator_->Files().at(0).shareId;
  }

  std::vector<std::pair<std::string, std::string>> savedEnv_;
  std::string run_, file_;
  std::unique_ptr<emulator::Emulator> emulator_;
  std::unique_ptr<cloud::ScopedOrigins> origins_;
};

TEST_F(SessionCheckTest, SavedCookiesGiveTheUploadLookThenTheJobEndsAfterThreeSeconds) {
  WriteSettings(std::string("cookies=") + kSeeded + "\n");
  gui::FakeGui gui;
  std::string printed = Run(gui);
  Calls expected = {
      "SetTopmost",
      "SetExtendedStyle 0x80000",
      "SetLayeredAttributes key=0xFFFFFF alpha=0 flags=1",
      "SetText 标签2 上传文件...",
      "StartThread",
      "RunMessageLoop",
      std::string("SetText 标签2 ") + kSuccess,
      "Wait 3000",
      "EndProcess 0",
  };
  EXPECT_EQ(After(gui, "SetTopmost"), expected);
  EXPECT_EQ(printed, Link() + "\n");
  EXPECT_TRUE(gui.Messages().empty());
}

TEST_F(SessionCheckTest, ASignInWithoutCookiesLeavesTheWindowAsItIs) {
  WriteSettings(std::string("username=") + kUser + "\npassword=" + kPassword + "\n");
  gui::FakeGui gui;
  std::string printed = Run(gui);
  EXPECT_FALSE(gui.topmost());
  EXPECT_EQ(gui.extendedStyle(), 0u);
  Calls expected = {
      "SetText 标签2 判断账号信息...",          "StartThread", "RunMessageLoop",
      std::string("SetText 标签2 ") + kSuccess, "Wait 3000",   "EndProcess 0",
  };
  EXPECT_EQ(After(gui, "SetText 标签2 判断账号信息..."), expected);
  EXPECT_EQ(printed, Link() + "\n");
  // The new session is kept for the next run.
  EXPECT_EQ(ReadSetting("cookies").find("phpdisk_info="), 0u) << ReadSetting("cookies");
}

TEST_F(SessionCheckTest, AWorkerThatCantStartOrAWaitThatCantBeSetUpStillEnds) {
  WriteSettings(std::string("cookies=") + kSeeded + "\n");
  {
    gui::FakeGui gui;
    gui.FailThreads();
    EXPECT_EQ(Run(gui), "");
    ASSERT_EQ(gui.Messages().size(), 1u);
    EXPECT_EQ(gui.Messages()[0].text, "上传文件失败 -1");
    EXPECT_EQ(gui.exitCode(), 0);
    EXPECT_TRUE(emulator_->Files().empty());
  }
  {
    gui::FakeGui gui;
    gui.FailWaits();
    std::string printed = Run(gui);
    EXPECT_EQ(printed, Link() + "\n");
    Calls expected = {"Wait 3000", "EndProcess 0"};
    EXPECT_EQ(After(gui, "Wait 3000"), expected);
  }
}

TEST_F(SessionCheckTest, ASignInAnswerWithoutCookiesRemovesTheSavedKey) {
  // A console that accepts any sign-in and sets no cookie.
  testing::LoopbackServer console;
  console.server().Get("/account.php", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<input name=\"formhash\" value=\"t\" />", "text/html");
  });
  console.server().Post("/account.php", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("登录成功，欢迎您回来", "text/html; charset=utf-8");
  });
  ASSERT_NE(console.Start(), 0);
  cloud::ScopedOrigins origins({console.Origin(), console.Origin(), console.Origin()});
  WriteSettings("cookies=stale=1\nusername=u\npassword=p\n");
  gui::FakeGui gui;
  Run(gui);
  EXPECT_FALSE(After(gui, "SetText 标签2 判断账号信息...").empty());
  std::ifstream in(run_ + "/设置.ini");
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "[lanzouyun]\nusername=u\npassword=p\n");
}

TEST(UploadJob, WaitUnitsInMilliseconds) {
  static const struct {
    std::int32_t count;
    std::int64_t unit;
    std::uint32_t ms;
  } cases[] = {
      {3, 1, 3000}, {5, 0, 5},  {2, 2, 120000}, {1, 3, 3600000},       {4, 250, 1000},
      {0, 1, 0},    {-3, 1, 0}, {3, -1, 0},     {2000, 3, UINT32_MAX},  // past the 32-bit wait
                                                                        // range
  };
  for (const auto& c : cases)
    EXPECT_EQ(WaitMilliseconds(c.count, c.unit), c.ms) << c.count << " x " << c.unit;
}

}  // namespace
}  // namespace qp::app
