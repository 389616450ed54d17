#include "emulator/emulator.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>

#include "platform/codepage.h"

namespace qp::emulator {
namespace {

const char kBoundary[] = "---------------------------81971010215309";

std::string UploadBody(const std::string& name, const std::string& content) {
  std::string d = std::string("--") + kBoundary;
  return d + "\r\nContent-Disposition: form-data; name=\"task\"\r\n\r\n1\r\n" + d +
         "\r\nContent-Disposition: form-data; name=\"name\"\r\n\r\n" + name + "\r\n" + d +
         "\r\nContent-Disposition: form-data; name=\"upload_file\"; filename=\"" + name +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + content + "\r\n" + d + "--";
}

class EmulatorTest : public ::testing::Test {
 protected:
  void Start(Faults faults = {}) {
    Options o;
    o.accounts["阿明"] = "p&ss+=%";
    o.sessions = {"phpdisk_info=seeded"};
    o.faults = faults;
    emulator_ = std::make_unique<Emulator>(o);
    ASSERT_TRUE(emulator_->Start()) << emulator_->error();
  }
  httplib::Client Client(Origin o) {
    httplib::Client c(emulator_->origin(o));
    c.set_read_timeout(5);
    return c;
  }
  // Signs in as a browser does; returns the Cookie header value, "" on failure.
  std::string SignIn(const std::string& user, const std::string& password) {
    auto c = Client(Origin::kAccount);
    auto page = c.Get("/account.php?action=login&ref=/mydisk.php");
    std::string token = Formhash(page ? page->body : "");
    httplib::Params form{{"action", "login"}, {"task", "login"},  {"ref", "/mydisk.php"},
                         {"formhash", token}, {"username", user}, {"password", password}};
    auto answer = c.Post("/account.php", form);
    if (!answer || answer->body.find("登录成功，欢迎您回来") == std::string::npos)
      return {};
    std::string cookies;
    for (auto [it, end] = answer->headers.equal_range("Set-Cookie"); it != end; ++it)
      cookies += (cookies.empty() ? "" : "; ") + it->second.substr(0, it->second.find(';'));
    return cookies;
  }
  static std::string Formhash(const std::string& page) {
    const std::string left = "formhash\" value=\"";
    size_t at = page.find(left);
    if (at == std::string::npos)
      return {};
    at += left.size();
    return page.substr(at, page.find("\" />", at) - at);
  }
  std::unique_ptr<Emulator> emulator_;
};

TEST_F(EmulatorTest, SignInUploadShareAndDownload) {
  Start();
  EXPECT_EQ(SignIn("阿明", "wrong"), "");
  std::string cookies = SignIn("阿明", "p&ss+=%");
  ASSERT_NE(cookies, "");
  auto account = Client(Origin::kAccount);
  auto disk = account.Get("/mydisk.php", {{"Cookie", cookies}});
  ASSERT_TRUE(disk);
  EXPECT_NE(disk->body.find("我的文件"), std::string::npos);

  std::string content("a\0[数据]b", 11);
  auto up = Client(Origin::kUpload)
                .Post("/fileup.php", {{"Cookie", cookies}}, UploadBody("中 文.txt", content),
                      std::string("multipart/form-data; boundary=") + kBoundary);
  ASSERT_TRUE(up);
  EXPECT_NE(up->body.find("\"info\":\"\\u4e0a\\u4f20\\u6210\\u529f\""), std::string::npos)
      << up->body;
  ASSERT_EQ(emulator_->Files().size(), 1u);
  StoredFile f = emulator_->Files()[0];
  EXPECT_EQ(f.name, "中 文.txt");
  EXPECT_EQ(f.content, content);

  auto share = account.Post("/doupload.php", {{"Cookie", cookies}}, "task=22&file_id=" + f.fileId,
                            "application/x-www-form-urlencoded");
  ASSERT_TRUE(share);
  EXPECT_NE(share->body.find("\"f_id\":\"" + f.shareId + "\""), std::string::npos) << share->body;
  auto download = Client(Origin::kShare).Get("/" + f.shareId);
  ASSERT_TRUE(download);
  EXPECT_EQ(download->body, content);

  // The record holds every request in order, on the origin it reached.
  std::vector<std::string> summary;
  for (const auto& r : emulator_->Requests())
    summary.push_back(r.Summary());
  std::vector<std::string> expected = {
      "account GET /account.php?action=login&ref=/mydisk.php",
      "account POST /account.php",
      "account GET /account.php?action=login&ref=/mydisk.php",
      "account POST /account.php",
      "account GET /mydisk.php",
      "upload POST /fileup.php",
      "account POST /doupload.php",
      "share GET /" + f.shareId,
  };
  EXPECT_EQ(summary, expected);
  EXPECT_EQ(emulator_->Requests()[4].Header("cookie"), cookies);
  // Multipart bodies are recorded as sent, not as httplib would re-read them.
  EXPECT_EQ(emulator_->Requests()[5].body, UploadBody("中 文.txt", content));
  EXPECT_EQ(emulator_->Requests()[5].Header("Content-Type"),
            std::string("multipart/form-data; boundary=") + kBoundary);
}

TEST_F(EmulatorTest, FormTokenIsGoodForOneSignIn) {
  Start();
  auto c = Client(Origin::kAccount);
  auto page = c.Get("/account.php?action=login&ref=/mydisk.php");
  std::string token = Formhash(page->body);
  ASSERT_FALSE(token.empty());
  std::string body = "action=login&task=login&ref=%2Fmydisk.php&formhash=" + token +
                     "&username=%E9%98%BF%E6%98%8E&password=p%26ss%2B%3D%25";
  auto first = c.Post("/account.php", body, "application/x-www-form-urlencoded");
  auto second = c.Post("/account.php", body, "application/x-www-form-urlencoded");
  EXPECT_NE(first->body.find("登录成功"), std::string::npos);
  EXPECT_EQ(second->body.find("登录成功"), std::string::npos);
}

TEST_F(EmulatorTest, SessionsAndFaults) {
  Start();
  auto account = Client(Origin::kAccount);
  static const struct {
    const char* cookie;
    bool signedIn;
  } cases[] = {
      {"phpdisk_info=seeded", true},
      {"a=1;  phpdisk_info=seeded ;b=2", true},
      {"phpdisk_info=other", false},
      {"   ", false},
      {"", false},
  };
  for (const auto& c : cases) {
    auto page = account.Get("/mydisk.php", {{"Cookie", c.cookie}});
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body.find("我的文件") != std::string::npos, c.signedIn) << c.cookie;
  }

  Faults f;
  f.rejectSessions = true;
  emulator_->SetFaults(f);
  EXPECT_EQ(account.Get("/mydisk.php", {{"Cookie", "phpdisk_info=seeded"}})->body.find("我的文件"),
            std::string::npos);

  f = {};
  f.gbkConsole = true;
  emulator_->SetFaults(f);
  auto gbk = account.Get("/mydisk.php", {{"Cookie", "phpdisk_info=seeded"}});
  EXPECT_EQ(gbk->get_header_value("Content-Type"), "text/html; charset=gbk");
  EXPECT_NE(gbk->body.find(codepage::Convert("我的文件", codepage::kUtf8, codepage::kGbk)),
            std::string::npos);

  f = {};
  f.failUpload = true;
  emulator_->SetFaults(f);
  auto up = Client(Origin::kUpload)
                .Post("/fileup.php", {{"Cookie", "phpdisk_info=seeded"}}, UploadBody("a", "b"),
                      std::string("multipart/form-data; boundary=") + kBoundary);
  EXPECT_NE(up->body.find("\"zt\":0"), std::string::npos);
  EXPECT_TRUE(emulator_->Files().empty());
}

TEST_F(EmulatorTest, DropCutsTheConnectionAndStallWaits) {
  Faults f;
  f.drop = {Endpoint::kProbe};
  f.stall = {Endpoint::kLoginPage};
  f.stallSeconds = 1;
  Start(f);
  auto account = Client(Origin::kAccount);
  auto dropped = account.Get("/mydisk.php");
  EXPECT_FALSE(dropped);
  auto started = std::chrono::steady_clock::now();
  auto stalled = account.Get("/account.php?action=login&ref=/mydisk.php");
  EXPECT_TRUE(stalled);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900));
  EXPECT_EQ(emulator_->Requests().size(), 2u);
}

TEST_F(EmulatorTest, StopWakesAStalledAnswer) {
  Faults f;
  f.stall = {Endpoint::kProbe};
  Start(f);
  std::thread client([&] {
    auto c = Client(Origin::kAccount);
    c.set_read_timeout(30);
    EXPECT_FALSE(c.Get("/mydisk.php"));
  });
  while (emulator_->Requests().empty())
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  auto started = std::chrono::steady_clock::now();
  emulator_->Stop();
  client.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

}  // namespace
}  // namespace qp::emulator
