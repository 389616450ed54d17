// HttpRequest against real servers on loopback, and over a transport that
// fails one call at a time.

#include "http/http_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>

#include "fault_injecting_winhttp.h"
#include "loopback_server.h"
#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/text_find.h"
#include "test_certificates.h"

namespace qp::http {
namespace {

using qp::testing::Certificates;
using qp::testing::FaultInjectingWinHttp;
using qp::testing::LoopbackServer;

// What the server saw of the last request.
struct LastRequest {
  std::mutex mutex;
  std::string method, target, body, cookie, contentType, authorization;
  int count = 0;

  void Record(const httplib::Request& req) {
    std::lock_guard<std::mutex> lock(mutex);
    method = req.method;
    target = req.target;
    body = req.body;
    cookie = req.get_header_value("Cookie");
    contentType = req.get_header_value("Content-Type");
    authorization = req.get_header_value("Authorization");
    ++count;
  }
};

class HttpRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto echo = [this](const httplib::Request& req, httplib::Response& res) {
      last_.Record(req);
      res.set_content(req.method + " " + req.target, "text/plain");
    };
    auto& s = server_.server();
    s.Get("/cookies", [this](const httplib::Request& req, httplib::Response& res) {
      last_.Record(req);
      res.set_header("Set-Cookie", "a=3; path=/");
      res.set_content("cookies", "text/plain");
    });
    s.Get("/redirect", [this](const httplib::Request& req, httplib::Response& res) {
      last_.Record(req);
      res.set_header("Set-Cookie", "hop=1");
      res.set_redirect("/final?x=1", 302);
      res.set_content("redirect page", "text/plain");
    });
    s.Get("/final", [this](const httplib::Request& req, httplib::Response& res) {
      last_.Record(req);
      res.set_header("Set-Cookie", "end=2");
      res.set_content("final page", "text/plain");
    });
    s.Get("/empty", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("not here", "text/plain");
    });
    s.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(100, "text/plain", [this](size_t, size_t, httplib::DataSink& sink) {
        sink.write("part", 4);
        server_.Stall(20000);
        return false;
      });
    });
    s.Get("/gbk", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(
          codepage::Convert("<meta charset=gbk>我的文件", codepage::kUtf8, codepage::kGbk),
          "text/html");
    });
    s.Get(".*", echo).Post(".*", echo).Put(".*", echo).Delete(".*", echo).Options(".*", echo);
    ASSERT_NE(server_.Start(), 0);
  }

  std::string Url(const std::string& path) { return server_.Origin() + path; }

  LoopbackServer server_;
  LastRequest last_;
};

TEST_F(HttpRequestTest, SendsTheMethodOfTheTable) {
  static const struct {
    std::optional<int> method;
    const char* sent;
  } cases[] = {
      {std::nullopt, "GET"}, {0, "GET"},    {1, "POST"}, {3, "PUT"},
      {4, "OPTIONS"},        {5, "DELETE"}, {8, "GET"},  {-1, "GET"},
  };
  for (const auto& c : cases) {
    Text status;
    const Text result = HttpRequest({.url = Url("/m"), .method = c.method, .statusText = &status});
    EXPECT_EQ(result, std::string(c.sent) + " /m") << c.method.value_or(99);
    EXPECT_EQ(status, "200 OK") << c.method.value_or(99);
  }
  // HEAD has no body; TRACE and CONNECT are sent as named (the test server
  // knows neither and refuses them).
  Text status;
  EXPECT_EQ(HttpRequest({.url = Url("/m"), .method = 2, .statusText = &status}), "");
  EXPECT_EQ(status, "200 OK");
  for (int method : {6, 7}) {
    HttpRequest({.url = Url("/m"), .method = method, .statusText = &status});
    EXPECT_TRUE(status.starts_with("4")) << method << ": " << status;
  }
}

TEST_F(HttpRequestTest, SendsBodiesAndTheFormTypeForPost) {
  const Bytes bytes = {'r', 'a', 'w', 0, '!'};
  static const struct {
    int method;
    const char* bodyText;
    bool useBytes;
    const char* body;
    const char* contentType;
  } cases[] = {
      {1, "a=1", false, "a=1", "application/x-www-form-urlencoded"},
      {1, "a=1", true, "raw\0!", "application/x-www-form-urlencoded"},
      {3, "put", false, "put", ""},
  };
  for (const auto& c : cases) {
    HttpRequest({.url = Url("/b"),
                 .method = c.method,
                 .bodyText = c.bodyText,
                 .bodyBytes = c.useBytes ? &bytes : nullptr});
    std::lock_guard<std::mutex> lock(last_.mutex);
    EXPECT_EQ(last_.body, c.useBytes ? std::string("raw\0!", 5) : std::string(c.body))
        << c.bodyText;
    EXPECT_EQ(last_.contentType, c.contentType) << c.bodyText;
  }
  // An empty bodyBytes leaves bodyText in charge.
  const Bytes none;
  HttpRequest({.url = Url("/b"), .method = 1, .bodyText = "t=1", .bodyBytes = &none});
  std::lock_guard<std::mutex> lock(last_.mutex);
  EXPECT_EQ(last_.body, "t=1");
}

TEST_F(HttpRequestTest, RequestsTheObjectNameAsCracked) {
  static const struct {
    const char* path;  // after the origin
    const char* target;
  } cases[] = {
      {"", "/"},
      {"/", "/"},
      {"/a?b=1", "/a?b=1"},
      // A URL without a path asks for "/" and its query stays behind.
      {"?b=1", "/"},
      {"/a%20b?q=%E4", "/a%20b?q=%E4"},
      {"/路径?名=值", "/%E8%B7%AF%E5%BE%84?%E5%90%8D=%E5%80%BC"},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      const Text result = HttpRequest({.url = codepage::SystemText(Url(c.path))});
      EXPECT_EQ(result, std::string("GET ") + c.target) << c.path << " code page " << codePage;
    }
  }
}

TEST_F(HttpRequestTest, FailsWithNumberedMessages) {
  LoopbackServer closed;
  ASSERT_NE(closed.Start(), 0);
  const std::string closedUrl = closed.Origin() + "/";
  closed.Stop();
  static const struct {
    std::string url;
    const char* message;
  } cases[] = {
      {"not a url", "701 解析URL地址失败!"},
      {"", "701 解析URL地址失败!"},
      {"ftp://127.0.0.1/", "701 解析URL地址失败!"},
      {closedUrl, "711 发送请求失败!"},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      Text status = "untouched", headers = "untouched", cookies = "a=1";
      EXPECT_EQ(HttpRequest({.url = c.url,
                             .cookies = &cookies,
                             .responseHeaders = &headers,
                             .statusText = &status}),
                "")
          << c.url;
      EXPECT_EQ(status, codepage::SystemText(c.message)) << c.url;
      EXPECT_EQ(headers, "untouched") << c.url;
      EXPECT_EQ(cookies, "a=1") << c.url;
    }
  }
}

TEST_F(HttpRequestTest, ReportsStatusHeadersAndBytes) {
  Text status, headers, location = "before";
  Bytes bytes = {1, 2, 3};
  EXPECT_EQ(HttpRequest({.url = Url("/empty"),
                         .responseHeaders = &headers,
                         .redirectLocation = &location,
                         .statusText = &status,
                         .responseBytes = &bytes}),
            "");
  EXPECT_EQ(status, "204 No Content");
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 204 No Content\r\n")) << headers;
  EXPECT_TRUE(headers.ends_with("\r\n\r\n")) << headers;
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(location, "before");  // no Location line, nothing written

  // An HTTP error status is no failure.
  EXPECT_EQ(HttpRequest({.url = Url("/missing"), .statusText = &status}), "not here");
  EXPECT_EQ(status, "404 Not Found");
}

TEST_F(HttpRequestTest, FollowsOrHandsBackRedirects) {
  static const struct {
    std::optional<bool> noRedirect;
    const char* result;
    const char* location;
    const char* responseCookies;
  } cases[] = {
      {std::nullopt, "final page", "", "end=2"},
      {false, "final page", "", "end=2"},
      {true, "redirect page", "/final?x=1", "hop=1"},
  };
  for (const auto& c : cases) {
    Text location, responseCookies;
    EXPECT_EQ(HttpRequest({.url = Url("/redirect"),
                           .responseCookies = &responseCookies,
                           .noRedirect = c.noRedirect,
                           .redirectLocation = &location}),
              c.result);
    EXPECT_EQ(location, c.location);
    EXPECT_EQ(responseCookies, c.responseCookies);
  }
}

TEST_F(HttpRequestTest, MergesTheResponsesCookiesIntoTheCallers) {
  static const struct {
    const char* path;
    std::optional<bool> mergeCookies;
    const char* cookiesAfter;
    const char* responseCookiesAfter;
  } cases[] = {
      {"/cookies", std::nullopt, "a=3; b=2", "a=3; b=2"},
      {"/m", std::nullopt, "a=1; b=2", "a=1; b=2"},  // nothing set, still refreshed
      {"/cookies", false, "a=1; b=2", "a=3"},
  };
  for (const auto& c : cases) {
    Text cookies = "a=1; b=2", responseCookies;
    HttpRequest({.url = Url(c.path),
                 .cookies = &cookies,
                 .responseCookies = &responseCookies,
                 .mergeCookies = c.mergeCookies});
    EXPECT_EQ(cookies, c.cookiesAfter) << c.path;
    EXPECT_EQ(responseCookies, c.responseCookiesAfter) << c.path;
    std::lock_guard<std::mutex> lock(last_.mutex);
    EXPECT_EQ(last_.cookie, "a=1; b=2") << c.path;
  }
}

TEST_F(HttpRequestTest, KeepsTheRedirectsCookiesOnlyWhenCookiesAreSent) {
  // With cookies the transport's own handling carries the redirect's cookie
  // to the final page; without, it neither keeps nor returns it.
  Text cookies = "s=1", responseCookies;
  HttpRequest({.url = Url("/redirect"), .cookies = &cookies, .responseCookies = &responseCookies});
  {
    std::lock_guard<std::mutex> lock(last_.mutex);
    EXPECT_EQ(last_.target, "/final?x=1");
    EXPECT_NE(last_.cookie.find("hop=1"), std::string::npos) << last_.cookie;
  }
  EXPECT_EQ(cookies, "end=2; s=1");

  Text none, fresh;
  HttpRequest({.url = Url("/redirect"), .cookies = &none, .responseCookies = &fresh});
  std::lock_guard<std::mutex> lock(last_.mutex);
  EXPECT_EQ(last_.cookie, "");
  EXPECT_EQ(fresh, "end=2");
}

TEST_F(HttpRequestTest, SendsServerCredentialsOnlyAsAPair) {
  static const struct {
    std::optional<Text> user, password;
    const char* authorization;
  } cases[] = {
      {"u", "p", "Basic dTpw"},
      {"u", std::nullopt, ""},
      {"", "p", ""},
  };
  for (const auto& c : cases) {
    HttpRequest({.url = Url("/auth"), .serverUser = c.user, .serverPassword = c.password});
    std::lock_guard<std::mutex> lock(last_.mutex);
    EXPECT_EQ(last_.authorization, c.authorization) << c.user.value_or("-");
  }
}

TEST_F(HttpRequestTest, ReadsPagesInAnotherCharsetIntoText) {
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    const int comBefore = com::InitializeCount();
    EXPECT_EQ(HttpRequest({.url = Url("/gbk")}), codepage::SystemText("<meta charset=gbk>我的文件"))
        << codePage;
    EXPECT_EQ(com::InitializeCount(), comBefore);
  }
}

TEST_F(HttpRequestTest, AStalledBodyEndsWithinTheTimeout) {
  Text status;
  const auto start = std::chrono::steady_clock::now();
  const Text result =
      HttpRequest({.url = Url("/stall"), .timeoutSeconds = 1, .statusText = &status});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // What came before the stall is kept; the status line was readable.
  EXPECT_EQ(result, "part");
  EXPECT_EQ(status, "200 OK");
  EXPECT_GE(elapsed, std::chrono::milliseconds(900));
  EXPECT_LT(elapsed, std::chrono::milliseconds(5000));
}

TEST_F(HttpRequestTest, SetsTheSameTimeoutForEveryPhase) {
  static const struct {
    std::optional<int> seconds;
    int milliseconds;
  } cases[] = {
      {std::nullopt, 30000}, {0, 30000}, {-3, 30000}, {5, 5000}, {1, 1000},
      {3000000, 2147483647},  // held at the largest, not overflowed
  };
  for (const auto& c : cases) {
    FaultInjectingWinHttp api(winhttp::SystemApi());
    EXPECT_EQ(HttpRequest({.url = Url("/t"), .timeoutSeconds = c.seconds}, api), "GET /t");
    ASSERT_EQ(api.timeouts.size(), 1u);
    const std::array<int, 4> expected = {c.milliseconds, c.milliseconds, c.milliseconds,
                                         c.milliseconds};
    EXPECT_EQ(api.timeouts[0], expected) << c.seconds.value_or(-999);
  }
}

TEST_F(HttpRequestTest, SetsOnlyCookieAndRedirectOptionsNeverSecurityFlags) {
  using namespace qp::winhttp;
  static const struct {
    const char* cookies;
    bool noRedirect;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> options;
  } cases[] = {
      {"", false, {{WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES}}},
      {"a=1", false, {{WINHTTP_OPTION_ENABLE_FEATURE, WINHTTP_ENABLE_SSL_REVOCATION}}},
      {"",
       true,
       {{WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES},
        {WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS}}},
  };
  for (const auto& c : cases) {
    FaultInjectingWinHttp api(SystemApi());
    Text cookies = c.cookies;
    HttpRequest({.url = Url("/o"), .cookies = &cookies, .noRedirect = c.noRedirect}, api);
    EXPECT_EQ(api.options, c.options) << c.cookies << " " << c.noRedirect;
  }
}

TEST_F(HttpRequestTest, EachRefusedCallGivesItsMessageAndClosesItsHandles) {
  static const struct {
    const char* call;
    const char* message;
  } cases[] = {
      {"WinHttpCheckPlatform", "700 当前系统不支持WinHttp服务!"},
      {"WinHttpCrackUrl", "701 解析URL地址失败!"},
      {"WinHttpOpen", "702 创建WinHttp会话失败!"},
      {"WinHttpSetTimeouts", "705 设置超时时间失败!"},
      {"WinHttpConnect", "703 创建WinHttp连接失败!"},
      {"WinHttpOpenRequest", "704 创建WinHttp请求失败!"},
      {"WinHttpSetCredentials", "707 设置代理凭证失败!"},
      {"WinHttpSetOption", "708 禁止自动设置Cookies失败!"},
      {"WinHttpAddRequestHeaders", "710 设置协议头失败!"},
      {"WinHttpSendRequest", "711 发送请求失败!"},
      {"WinHttpReceiveResponse", "712 服务器未响应!"},
  };
  for (const auto& c : cases) {
    FaultInjectingWinHttp api(winhttp::SystemApi());
    api.failCall = c.call;
    Text status, cookies = "a=1", responseCookies = "kept";
    Bytes bytes = {7};
    EXPECT_EQ(HttpRequest({.url = Url("/f"),
                           .cookies = &cookies,
                           .responseCookies = &responseCookies,
                           .serverUser = "u",
                           .serverPassword = "p",
                           .statusText = &status,
                           .responseBytes = &bytes},
                          api),
              "")
        << c.call;
    EXPECT_EQ(status, codepage::SystemText(c.message)) << c.call;
    EXPECT_EQ(cookies, "a=1") << c.call;
    EXPECT_EQ(responseCookies, "kept") << c.call;
    EXPECT_EQ(bytes, Bytes{7}) << c.call;
  }
  // The redirect option is the second option call.
  FaultInjectingWinHttp api(winhttp::SystemApi());
  Text status;
  api.failCall = "WinHttpSetOption";
  HttpRequest({.url = Url("/f"), .statusText = &status}, api);
  EXPECT_EQ(status, codepage::SystemText("708 禁止自动设置Cookies失败!"));
}

TEST_F(HttpRequestTest, AFailedReadKeepsThePartialBody) {
  FaultInjectingWinHttp api(winhttp::SystemApi());
  api.readsBeforeFailure = 0;
  Text status;
  Bytes bytes = {9};
  EXPECT_EQ(HttpRequest({.url = Url("/r"), .statusText = &status, .responseBytes = &bytes}, api),
            "");
  // The status line replaces the read failure's message.
  EXPECT_EQ(status, "200 OK");
  EXPECT_TRUE(bytes.empty());

  // When the headers cannot be read either, the 713 message stays.
  FaultInjectingWinHttp noHeaders(winhttp::SystemApi());
  noHeaders.readsBeforeFailure = 0;
  noHeaders.failCall = "WinHttpQueryHeaders";
  Text cookies = "a=1";
  EXPECT_EQ(HttpRequest({.url = Url("/cookies"),
                         .cookies = &cookies,
                         .statusText = &status,
                         .responseBytes = &bytes},
                        noHeaders),
            "");
  EXPECT_EQ(status, codepage::SystemText("713 读取数据失败!"));
  EXPECT_EQ(cookies, "a=1");
}

TEST_F(HttpRequestTest, IgnoresTheEnvironmentsProxies) {
  LoopbackServer trap;
  trap.server().Get(".*", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("via the environment's proxy", "text/plain");
  });
  ASSERT_NE(trap.Start(), 0);
  for (const char* name :
       {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
    setenv(name, trap.Origin().c_str(), 1);
  unsetenv("NO_PROXY");
  unsetenv("no_proxy");
  EXPECT_EQ(HttpRequest({.url = Url("/direct")}), "GET /direct");

  // A proxy given by name is used.
  EXPECT_EQ(
      HttpRequest({.url = Url("/direct"), .proxy = "127.0.0.1:" + std::to_string(trap.port())}),
      "via the environment's proxy");
}

TEST(HttpRequestTlsTest, VerifiesTheServersCertificate) {
  const auto& certs = Certificates();
  ASSERT_TRUE(certs.ok);
  auto trusting = winhttp::NewSystemApiTrusting(certs.caFile);
  static const struct {
    const char* name;
    bool wrongHost;
    bool trustTestCa;
    const char* result;
    const char* status;
  } cases[] = {
      {"trusted", false, true, "secure", "200 OK"},
      {"unknown issuer", false, false, "", "711 发送请求失败!"},
      {"wrong host name", true, true, "", "711 发送请求失败!"},
  };
  for (const auto& c : cases) {
    LoopbackServer s(c.wrongHost ? certs.wrongHostCert : certs.serverCert,
                     c.wrongHost ? certs.wrongHostKey : certs.serverKey);
    s.server().Get("/s", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("secure", "text/plain");
    });
    ASSERT_NE(s.Start(), 0);
    Text status;
    winhttp::Api& api = c.trustTestCa ? *trusting : winhttp::SystemApi();
    EXPECT_EQ(HttpRequest({.url = s.Origin("https") + "/s", .statusText = &status}, api), c.result)
        << c.name;
    EXPECT_EQ(status, codepage::SystemText(c.status)) << c.name;
  }
}

}  // namespace
}  // namespace qp::http
