// Quillpost publishing a file end to end: the real executable, a copy of it
// with its settings file in a fresh folder, the service emulator on the
// loopback origins the build was configured with.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "emulator/emulator.h"
#include "run.h"
#include "scratch_files.h"
#include "xvfb.h"

namespace qp {
namespace {

using emulator::Origin;
using KeyValues = std::vector<std::pair<std::string, std::string>>;

const char kUser[] = "阿明";
const char kPassword[] = "p&ss+=% 1";  // every character a form would mangle
const char kSeeded[] = "phpdisk_info=seeded";
const char kSuccessText[] = "创建链接成功!并且已经复制到剪辑版，请按 Ctrl + V 粘贴！";

// "http://127.0.0.1:PORT" -> PORT; 0 for anything not on loopback.
int LoopbackPort(const std::string& origin) {
  const std::string prefix = "http://127.0.0.1:";
  if (origin.compare(0, prefix.size(), prefix) != 0)
    return 0;
  return std::atoi(origin.c_str() + prefix.size());
}

std::string ReadAll(const std::string& path) {
  std::stringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

class PublishTest : public ::testing::Test {
 protected:
  // Removed with everything in it when the test ends.
  qp::testing::ScratchFolder scratch_;
  void SetUp() override {
    ports_[0] = LoopbackPort(QUILLPOST_ACCOUNT_ORIGIN);
    ports_[1] = LoopbackPort(QUILLPOST_UPLOAD_ORIGIN);
    ports_[2] = LoopbackPort(QUILLPOST_SHARE_ORIGIN);
    if (!ports_[0] || !ports_[1] || !ports_[2])
      GTEST_SKIP() << "built for the real service; configure with loopback origins "
                      "(scripts/test does) to run the end-to-end tests";
    dir_ = scratch_.path();
    exe_ = dir_ + "/quillpost";
    std::system(("cp '" QUILLPOST_EXE "' '" + exe_ + "'").c_str());
    settings_ = dir_ + "/设置.ini";
  }
  void TearDown() override { emulator_.reset(); }
  void StartEmulator(emulator::Faults faults = {}) {
    emulator::Options o;
    o.accountPort = ports_[0];
    o.uploadPort = ports_[1];
    o.sharePort = ports_[2];
    o.accounts[kUser] = kPassword;
    o.sessions = {kSeeded};
    o.faults = faults;
    emulator_ = std::make_unique<emulator::Emulator>(o);
    ASSERT_TRUE(emulator_->Start()) << emulator_->error();
  }
  void WriteSettings(const KeyValues& keys) {
    std::ofstream out(settings_, std::ios::binary);
    out << "[lanzouyun]\r\n";
    for (const auto& [key, value] : keys)
      out << key << "=" << value << "\r\n";
  }
  // The keys of the section, in file order.
  KeyValues ReadSettings() {
    KeyValues keys;
    std::istringstream in(ReadAll(settings_));
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      if (!line.empty() && line[0] == '[') {
        inSection = line == "[lanzouyun]";
        continue;
      }
      size_t eq = line.find('=');
      if (inSection && eq != std::string::npos)
        keys.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return keys;
  }
  std::string WriteFile(const std::string& name, const std::string& content) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  // Quillpost in the terminal form: no desktop.
  testing::RunResult Publish(const std::string& path, int timeoutSeconds = 60) {
    return testing::Run({{exe_, path}, dir_, {"DISPLAY", "WAYLAND_DISPLAY"}, timeoutSeconds});
  }
  std::vector<std::string> Sequence() {
    std::vector<std::string> out;
    for (const auto& r : emulator_->Requests())
      out.push_back(r.Summary());
    return out;
  }
  std::string LinkOf(size_t fileIndex) {
    return emulator_->origin(Origin::kShare) + "/" + emulator_->Files().at(fileIndex).shareId;
  }

  int ports_[3] = {0, 0, 0};
  std::string dir_, exe_, settings_;
  std::unique_ptr<emulator::Emulator> emulator_;
};

const std::string kProbe = "account GET /mydisk.php";
const std::string kLoginPage = "account GET /account.php?action=login&ref=/mydisk.php";
const std::string kLogin = "account POST /account.php";
const std::string kUpload = "upload POST /fileup.php";
const std::string kShare = "account POST /doupload.php";

TEST_F(PublishTest, EveryEndingOfTheSessionCheck) {
  enum class Saved { kUnchanged, kNewSession, kReset };
  const struct {
    const char* what;
    KeyValues settings;
    std::vector<std::string> sequence;
    const char* message;  // "" for success
    Saved saved;
  } cases[] = {
      {"cookie accepted",
       {{"cookies", kSeeded}, {"username", kUser}, {"password", kPassword}},
       {kProbe, kUpload, kShare},
       "",
       Saved::kUnchanged},
      {"cookie rejected, sign-in",
       {{"cookies", "phpdisk_info=stale"}, {"username", kUser}, {"password", kPassword}},
       {kProbe, kLoginPage, kLogin, kUpload, kShare},
       "",
       Saved::kNewSession},
      {"username and password only",
       {{"username", kUser}, {"password", kPassword}},
       {kLoginPage, kLogin, kUpload, kShare},
       "",
       Saved::kNewSession},
      {"cookie of blanks is probed",
       {{"cookies", "\"   \""}, {"username", kUser}, {"password", kPassword}},
       {kProbe, kLoginPage, kLogin, kUpload, kShare},
       "",
       Saved::kNewSession},
      {"cookie rejected, no password",
       {{"cookies", "phpdisk_info=stale"}, {"username", kUser}},
       {kProbe, kLoginPage, kLogin},
       "登录失败",
       Saved::kUnchanged},
      {"wrong password",
       {{"username", kUser}, {"password", "wrong"}},
       {kLoginPage, kLogin},
       "判断账号信息 -1",
       Saved::kUnchanged},
      {"only a username",
       {{"username", kUser}},
       {},
       "未配置账号信息，ID登录或者cookies! -5",
       Saved::kReset},
      {"nothing configured", {}, {}, "未配置账号信息，ID登录或者cookies! -5", Saved::kReset},
  };
  StartEmulator();
  std::string file = WriteFile("a.txt", "hello");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    emulator_->ClearRequests();
    size_t filesBefore = emulator_->Files().size();
    WriteSettings(c.settings);
    KeyValues before = ReadSettings();
    std::vector<std::string> sessionsBefore = emulator_->Sessions();

    testing::RunResult r = Publish(file);
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    // The terminal form tells a failure by its exit code.
    EXPECT_EQ(r.exitCode, *c.message ? 1 : 0);
    EXPECT_EQ(Sequence(), c.sequence);
    if (*c.message == '\0') {
      ASSERT_EQ(emulator_->Files().size(), filesBefore + 1);
      EXPECT_EQ(r.out, LinkOf(filesBefore) + "\n");
      EXPECT_NE(r.err.find(kSuccessText), std::string::npos) << r.err;
    } else {
      EXPECT_EQ(r.out, "");
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    switch (c.saved) {
      case Saved::kUnchanged:
        EXPECT_EQ(ReadSettings(), before);
        break;
      case Saved::kReset:
        EXPECT_EQ(ReadSettings(), (KeyValues{{"username", ""}, {"password", ""}, {"cookies", ""}}));
        break;
      case Saved::kNewSession: {
        KeyValues after = ReadSettings();
        std::string cookies;
        for (const auto& [key, value] : after)
          if (key == "cookies")
            cookies = value;
        // The fresh session, issued by this run's sign-in, and sent with the upload.
        EXPECT_EQ(cookies.find("phpdisk_info="), 0u) << cookies;
        EXPECT_EQ(cookies.find(kSeeded), std::string::npos) << cookies;
        EXPECT_EQ(emulator_->Sessions().size(), sessionsBefore.size() + 1);
        auto requests = emulator_->Requests();
        EXPECT_NE(requests[requests.size() - 2].Header("Cookie").find(cookies.substr(0, 45)),
                  std::string::npos);
        break;
      }
    }
  }
}

TEST_F(PublishTest, FilesArriveByteForByte) {
  StartEmulator();
  WriteSettings({{"cookies", kSeeded}});
  // The placeholders, a NUL, and a delimiter line of the form's own boundary.
  static const char kTricky[] =
      "[文件名]\0[数据]\r\n-----------------------------81971010215309--[目录ID]";
  const struct {
    std::string name, content;
  } cases[] = {
      {"中 文 名.txt", "你好, world"},
      {"placeholders.bin", std::string(kTricky, sizeof kTricky - 1)},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    size_t before = emulator_->Files().size();
    testing::RunResult r = Publish(WriteFile(c.name, c.content));
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(emulator_->Files().size(), before + 1) << r.err;
    const emulator::StoredFile stored = emulator_->Files().back();
    EXPECT_EQ(stored.name, c.name);
    EXPECT_EQ(stored.content, c.content);
    EXPECT_EQ(r.out, LinkOf(before) + "\n");
    // The link serves the very bytes.
    EXPECT_EQ(testing::RunCapture("curl -s " + LinkOf(before)), c.content);
  }
}

TEST_F(PublishTest, FailuresEndWithTheMessageAndNoLink) {
  using emulator::Endpoint;
  const struct {
    const char* what;
    emulator::Faults faults;
    bool sendFile;  // false: the path names nothing readable
    std::vector<std::string> sequence;
  } cases[] = {
      {"missing file", {}, false, {kProbe}},
      {"upload refused", {.failUpload = true}, true, {kProbe, kUpload}},
      {"share lookup fails", {.failShare = true}, true, {kProbe, kUpload, kShare}},
      {"share id is a number", {.numericId = true}, true, {kProbe, kUpload}},
      {"upload connection dropped", {.drop = {Endpoint::kUpload}}, true, {kProbe, kUpload}},
      {"share connection dropped",
       {.drop = {Endpoint::kShareData}},
       true,
       {kProbe, kUpload, kShare}},
  };
  StartEmulator();
  WriteSettings({{"cookies", kSeeded}});
  std::string file = WriteFile("a.txt", "hello");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    emulator_->SetFaults(c.faults);
    emulator_->ClearRequests();
    testing::RunResult r = Publish(c.sendFile ? file : dir_ + "/missing.txt");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("上传文件失败 -1"), std::string::npos) << r.err;
    EXPECT_EQ(Sequence(), c.sequence);
  }
  // A folder is not a file either.
  emulator_->SetFaults({});
  emulator_->ClearRequests();
  testing::RunResult r = Publish(dir_);
  EXPECT_NE(r.err.find("上传文件失败 -1"), std::string::npos) << r.err;
  EXPECT_EQ(Sequence(), std::vector<std::string>{kProbe});
}

TEST_F(PublishTest, AnswersInOtherShapesStillWork) {
  const struct {
    const char* what;
    emulator::Faults faults;
  } cases[] = {
      {"pretty-printed JSON", {.pretty = true}},
      {"unescaped JSON", {.unescaped = true}},
      {"GBK console", {.gbkConsole = true}},
  };
  StartEmulator();
  std::string file = WriteFile("a.txt", "hello");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    emulator_->SetFaults(c.faults);
    WriteSettings(
        {{"cookies", "phpdisk_info=stale"}, {"username", kUser}, {"password", kPassword}});
    size_t before = emulator_->Files().size();
    testing::RunResult r = Publish(file);
    ASSERT_EQ(emulator_->Files().size(), before + 1) << r.err;
    EXPECT_EQ(r.out, LinkOf(before) + "\n") << r.err;
  }
}

TEST_F(PublishTest, AStalledServerEndsInTheFailureMessageWithinTheTimeout) {
  StartEmulator({.stall = {emulator::Endpoint::kUpload}, .stallSeconds = 120});
  WriteSettings({{"cookies", kSeeded}});
  testing::RunResult r = Publish(WriteFile("a.txt", "hello"), 90);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("上传文件失败 -1"), std::string::npos) << r.err;
  EXPECT_LT(r.elapsed, std::chrono::seconds(75));
}

TEST_F(PublishTest, WindowFormPutsTheLinkOnTheClipboardAndLeavesAfterThreeSeconds) {
  testing::ScopedXvfb x;
  ASSERT_TRUE(x.ok()) << "Xvfb did not start";
  StartEmulator();
  WriteSettings({{"cookies", kSeeded}});
  testing::RunResult r =
      testing::Run({{exe_, WriteFile("a.txt", "hello")}, dir_, {"DISPLAY=" + x.display()}, 60});
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_EQ(emulator_->Files().size(), 1u) << r.err;
  EXPECT_GE(r.elapsed, std::chrono::seconds(3));
  EXPECT_LT(r.elapsed, std::chrono::seconds(20));
  EXPECT_EQ(r.out, "");
  std::string clip;
  for (int i = 0; i < 50 && clip != LinkOf(0); ++i) {
    clip = testing::RunCapture("xclip -o -selection clipboard 2>/dev/null");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(clip, LinkOf(0));
}

TEST_F(PublishTest, WindowFormFailureWaitsForTheBoxThenEndsWithZero) {
  testing::ScopedXvfb x;
  ASSERT_TRUE(x.ok()) << "Xvfb did not start";
  StartEmulator({.failUpload = true});
  WriteSettings({{"cookies", kSeeded}});
  // The user: waits for the box "错误" and dismisses it with Return.
  std::atomic<bool> dismissed{false}, found{false};
  std::thread user([&] {
    for (int i = 0; i < 300 && !dismissed; ++i) {
      std::string box =
          testing::RunCapture("xdotool search --onlyvisible --name '^错误$' 2>/dev/null | head -1");
      if (!box.empty()) {
        box.pop_back();
        testing::RunCapture("xdotool windowfocus --sync " + box + " key Return");
        found = dismissed = true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  testing::RunResult r =
      testing::Run({{exe_, WriteFile("a.txt", "hello")}, dir_, {"DISPLAY=" + x.display()}, 60});
  dismissed = true;
  user.join();
  EXPECT_TRUE(found) << "no box 错误 while it ran";
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0);  // the window form ends with 0 on every path
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("上传文件失败 -1"), std::string::npos) << r.err;
  int status = 0;
  EXPECT_EQ(testing::RunCapture("xclip -o -selection clipboard 2>/dev/null", &status), "");
}

}  // namespace
}  // namespace qp
