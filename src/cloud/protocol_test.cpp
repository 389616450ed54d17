// The sign-in and upload requests as the service client sends them, against a
// recording stand-in for the HTTP layer below.
#include <gtest/gtest.h>

#include <deque>

#include "cloud/account_login.h"
#include "cloud/exchange.h"
#include "cloud/origins.h"
#include "cloud/upload_file.h"

namespace qp::cloud {

struct Sent {
  Text url;
  bool post;
  Text body;
  bool sentCookies;
  Text cookies;
};
static std::vector<Sent> sent;
// Each answer: the body text and the cookies it sets.
static std::deque<std::pair<Text, Text>> answers;

Text Send(Exchange e) {
  sent.push_back({e.url, e.post, e.bodyBytes.empty() ? e.bodyText : ToText(e.bodyBytes),
                  e.cookies != nullptr, e.cookies ? *e.cookies : Text()});
  if (answers.empty())
    return {};
  auto [body, setCookies] = answers.front();
  answers.pop_front();
  if (e.responseCookies)
    *e.responseCookies = setCookies;
  return body;
}

namespace {

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sent.clear();
    answers.clear();
  }
  ScopedOrigins origins_{{"http://a", "http://u", "http://s"}};
};

TEST_F(ProtocolTest, LoginIsOneGetAndOnePostWhateverTheOutcome) {
  static const struct {
    const char* page;
    const char* answer;
    const char* setCookies;
    bool ok;
    const char* formhash;
  } cases[] = {
      {"<i name=\"formhash\" value=\"t0k\" />", "登录成功，欢迎您回来", "s=1; y=2", true, "t0k"},
      {"<i name=\"formhash\" value=\"t0k\" />", "密码错误", "s=9", false, "t0k"},
      {"no token", "登录成功，欢迎您回来", "", true, ""},
      {"", "", "", false, ""},  // the network is down: the POST still goes out
  };
  for (const auto& c : cases) {
    sent.clear();
    answers = {{c.page, ""}, {c.answer, c.setCookies}};
    Text cookies = "old=1";
    EXPECT_EQ(AccountLogin("阿明", "a&b+c%d=e", &cookies), c.ok) << c.answer;
    EXPECT_EQ(cookies, c.setCookies) << c.answer;
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].url, "http://a/account.php?action=login&ref=/mydisk.php");
    EXPECT_FALSE(sent[0].post);
    EXPECT_FALSE(sent[0].sentCookies);
    EXPECT_EQ(sent[1].url, "http://a/account.php");
    EXPECT_TRUE(sent[1].post);
    EXPECT_FALSE(sent[1].sentCookies);
    EXPECT_EQ(sent[1].body, std::string("action=login&task=login&ref=%2Fmydisk.php&formhash=") +
                                c.formhash +
                                "&username=%E9%98%BF%E6%98%8E&password=a%26b%2Bc%25d%3De");
  }
}

TEST_F(ProtocolTest, AnUnreadableFileSendsNothing) {
  Text cookies = "s=1";
  EXPECT_FALSE(UploadFile("/nonexistent/file.txt", "-1", &cookies));
  EXPECT_FALSE(UploadFile("/tmp", "-1", &cookies));
  EXPECT_TRUE(sent.empty());
}

}  // namespace
}  // namespace qp::cloud
