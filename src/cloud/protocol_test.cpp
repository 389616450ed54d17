// The sign-in, upload and share-link requests as the service client sends
// them through the real HTTP layer, against the service emulator on loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "cloud/account_login.h"
#include "cloud/origins.h"
#include "cloud/share_link.h"
#include "cloud/upload_file.h"
#include "emulator/emulator.h"
#include "scratch_files.h"

namespace qp::cloud {
namespace {

using emulator::Origin;

const char kUser[] = "阿明";
const char kPassword[] = "a&b+c%d=e";
const char kSeeded[] = "phpdisk_info=seeded";

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Without a desktop the link goes to standard output, where the test
    // reads it; a desktop clipboard of the machine running the tests is left
    // alone.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
      if (const char* value = std::getenv(name))
        saved_.emplace_back(name, value);
      ::unsetenv(name);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_)
      ::setenv(name.c_str(), value.c_str(), 1);
  }
  void Start(emulator::Faults faults = {}) {
    origins_.reset();
    emulator_.reset();
    emulator::Options o;
    o.accounts[kUser] = kPassword;
    o.sessions = {kSeeded};
    o.faults = faults;
    emulator_ = std::make_unique<emulator::Emulator>(o);
    ASSERT_TRUE(emulator_->Start()) << emulator_->error();
    origins_ = std::make_unique<ScopedOrigins>(ServiceOrigins{emulator_->origin(Origin::kAccount),
                                                              emulator_->origin(Origin::kUpload),
                                                              emulator_->origin(Origin::kShare)});
  }
  Text Write(const std::string& name, const std::string& content) {
    Text path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  std::vector<std::string> Sequence() {
    std::vector<std::string> out;
    for (const auto& r : emulator_->Requests())
      out.push_back(r.Summary());
    return out;
  }
  // UploadFile with standard output captured: the link it printed, if any.
  bool Upload(const Text& path, Text* cookies, std::string* printed) {
    ::testing::internal::CaptureStdout();
    bool ok = UploadFile(path, "-1", cookies);
    *printed = ::testing::internal::GetCapturedStdout();
    return ok;
  }

  std::vector<std::pair<std::string, std::string>> saved_;
  qp::testing::ScratchFolder scratch_;
  const std::string dir_ = scratch_.path();
  std::unique_ptr<emulator::Emulator> emulator_;
  std::unique_ptr<ScopedOrigins> origins_;
};

TEST_F(ProtocolTest, LoginIsOneGetAndOnePostWhateverTheOutcome) {
  static const struct {
    const char* password;
    emulator::Faults faults;
    bool ok;
  } cases[] = {
      {kPassword, {}, true},
      {"a&b", {}, false},
      // The connection to the login page is cut: no token, the POST still goes out.
      {kPassword, {.drop = {emulator::Endpoint::kLoginPage}}, false},
  };
  for (const auto& c : cases) {
    Start(c.faults);
    Text cookies = "old=1";
    EXPECT_EQ(AccountLogin(kUser, c.password, &cookies), c.ok) << c.password;
    std::vector<std::string> expected = {"account GET /account.php?action=login&ref=/mydisk.php",
                                         "account POST /account.php"};
    EXPECT_EQ(Sequence(), expected) << c.password;
    auto requests = emulator_->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Header("Cookie"), "");
    EXPECT_EQ(requests[1].Header("Cookie"), "");
    EXPECT_EQ(requests[1].Header("Content-Type"), "application/x-www-form-urlencoded");
    if (c.ok) {
      // The cookie text kept is the new session, which the console takes.
      bool kept = false;
      for (const std::string& session : emulator_->Sessions())
        kept |= session != kSeeded && cookies.find(session) != Text::npos;
      EXPECT_TRUE(kept) << cookies;
    } else {
      EXPECT_NE(cookies, "old=1");
    }
  }
}

TEST_F(ProtocolTest, UploadPutsTheLinkOfTheSameBytesOnTheClipboard) {
  Start();
  const std::string content("a\0[数据][文件名]\xff", 20);
  Text cookies = kSeeded;
  std::string printed;
  ASSERT_TRUE(Upload(Write("中 文.txt", content), &cookies, &printed));
  ASSERT_EQ(emulator_->Files().size(), 1u);
  emulator::StoredFile stored = emulator_->Files()[0];
  EXPECT_EQ(stored.name, "中 文.txt");
  EXPECT_EQ(stored.content, content);
  EXPECT_EQ(printed, emulator_->origin(Origin::kShare) + "/" + stored.shareId + "\n");
  std::vector<std::string> expected = {"upload POST /fileup.php", "account POST /doupload.php"};
  EXPECT_EQ(Sequence(), expected);
  auto requests = emulator_->Requests();
  EXPECT_EQ(requests[1].body, "task=22&file_id=" + stored.fileId);
  for (const auto& r : requests)
    EXPECT_EQ(r.Header("Cookie"), kSeeded) << r.Summary();
}

TEST_F(ProtocolTest, EveryFailureIsFalseWithNothingOnTheClipboard) {
  using emulator::Endpoint;
  static const struct {
    const char* what;
    emulator::Faults faults;
    size_t requests;
  } cases[] = {
      {"upload refused", {.failUpload = true}, 1},
      {"upload dropped", {.drop = {Endpoint::kUpload}}, 1},
      {"no share id", {.failShare = true}, 2},
      {"share id is a number", {.numericId = true}, 1},
      {"share data dropped", {.drop = {Endpoint::kShareData}}, 2},
  };
  Text path = Write("a.txt", "abc");
  for (const auto& c : cases) {
    Start(c.faults);
    Text cookies = kSeeded;
    std::string printed;
    EXPECT_FALSE(Upload(path, &cookies, &printed)) << c.what;
    EXPECT_EQ(printed, "") << c.what;
    EXPECT_EQ(emulator_->Requests().size(), c.requests) << c.what;
  }
  // A file that can't be read is not sent at all.
  Start();
  Text locked = Write("locked", "x");
  const bool unreadable = qp::testing::MakeUnreadable(locked);
  for (const Text& bad : {dir_ + "/missing", dir_, locked}) {
    if (bad == locked && !unreadable)
      continue;  // root reads it regardless
    Text cookies = kSeeded;
    std::string printed;
    EXPECT_FALSE(Upload(bad, &cookies, &printed)) << bad;
    EXPECT_EQ(printed, "") << bad;
  }
  EXPECT_TRUE(emulator_->Requests().empty());
}

TEST_F(ProtocolTest, ShareLookupReadsTheIdOutOfEveryAnswerShape) {
  static const emulator::Faults shapes[] = {{}, {.pretty = true}, {.unescaped = true}};
  for (const auto& faults : shapes) {
    Start(faults);
    Text cookies = kSeeded;
    std::string printed;
    ASSERT_TRUE(Upload(Write("b.txt", "b"), &cookies, &printed));
    emulator::StoredFile stored = emulator_->Files().at(0);
    Text again = kSeeded;
    EXPECT_EQ(FetchShareId(stored.fileId, &again), stored.shareId);
    EXPECT_EQ(FetchShareLink(stored.fileId, &again),
              emulator_->origin(Origin::kShare) + "/" + stored.shareId);
  }
  Text cookies = kSeeded;
  EXPECT_EQ(FetchShareLink("no-such-file", &cookies), "");
}

}  // namespace
}  // namespace qp::cloud
