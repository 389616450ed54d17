// The WinHTTP-shaped transport against real servers on loopback.

#include "platform/winhttp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "loopback_server.h"
#include "platform/codepage.h"
#include "test_certificates.h"

namespace qp::winhttp {
namespace {

using qp::testing::Certificates;
using qp::testing::LoopbackServer;

std::u16string Wide(const std::string& utf8) {
  return codepage::ToUtf16(utf8, codepage::kUtf8);
}

// One exchange, made with the calls in the order the HTTP client makes them.
struct Exchange {
  std::string url = "";
  std::string method = "GET";
  std::string headers = "";  // CR LF separated
  std::string body = "";
  std::string proxy = "";  // a WinHTTP proxy list; "" for none
  bool disableCookies = false;
  bool disableRedirects = false;
  int timeoutMs = 5000;
  std::string serverUser = "", serverPassword = "", proxyUser = "", proxyPassword = "";
};

struct Outcome {
  std::string failedAt;  // the call that failed, "" when all succeeded
  std::uint32_t error = 0;
  std::string headers;  // the raw header block
  std::string body;
};

Outcome Perform(Api& api, const Exchange& x) {
  Outcome out;
  auto fail = [&](const char* call) {
    out.failedAt = call;
    out.error = api.GetLastError();
    return out;
  };
  const std::u16string url = Wide(x.url);
  UrlComponents parts;
  parts.hostNameLength = parts.urlPathLength = parts.extraInfoLength = kWantPart;
  if (!api.WinHttpCrackUrl(url.c_str(), static_cast<std::uint32_t>(url.size()), 0, &parts))
    return fail("crack");
  const std::u16string host(parts.hostName, parts.hostNameLength);
  std::u16string object(parts.urlPath, parts.urlPathLength);
  object.append(parts.extraInfo, parts.extraInfoLength);
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  const std::u16string proxy = Wide(x.proxy);
  Handle session(api, api.WinHttpOpen(nullptr,
                                      x.proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY
                                                      : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                                      x.proxy.empty() ? nullptr : proxy.c_str(), nullptr, 0));
  if (!session)
    return fail("open");
  if (!api.WinHttpSetTimeouts(session.get(), x.timeoutMs, x.timeoutMs, x.timeoutMs, x.timeoutMs))
    return fail("timeouts");
  Handle connect(api, api.WinHttpConnect(session.get(), host.c_str(), parts.port, 0));
  if (!connect)
    return fail("connect");
  const std::u16string method = Wide(x.method);
  Handle request(api, api.WinHttpOpenRequest(connect.get(), method.c_str(), object.c_str(), nullptr,
                                             nullptr, nullptr, secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request)
    return fail("request");
  auto credentials = [&](std::uint32_t target, const std::string& user, const std::string& pw) {
    const std::u16string u = Wide(user), p = Wide(pw);
    return user.empty() ||
           api.WinHttpSetCredentials(request.get(), target, WINHTTP_AUTH_SCHEME_BASIC, u.c_str(),
                                     p.c_str(), nullptr);
  };
  if (!credentials(WINHTTP_AUTH_TARGET_SERVER, x.serverUser, x.serverPassword) ||
      !credentials(WINHTTP_AUTH_TARGET_PROXY, x.proxyUser, x.proxyPassword))
    return fail("credentials");
  const std::uint32_t disabled = (x.disableCookies ? WINHTTP_DISABLE_COOKIES : 0) |
                                 (x.disableRedirects ? WINHTTP_DISABLE_REDIRECTS : 0);
  if (disabled && !api.WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled,
                                        sizeof disabled))
    return fail("option");
  const std::u16string headers = Wide(x.headers);
  if (!api.WinHttpAddRequestHeaders(request.get(), headers.c_str(),
                                    static_cast<std::uint32_t>(headers.size()),
                                    WINHTTP_ADDREQ_FLAG_ADD))
    return fail("headers");
  const auto size = static_cast<std::uint32_t>(x.body.size());
  if (!api.WinHttpSendRequest(request.get(), nullptr, 0, x.body.data(), size, size, 0))
    return fail("send");
  if (!api.WinHttpReceiveResponse(request.get(), nullptr))
    return fail("receive");

  std::uint32_t bytes = 0;
  if (!api.WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr,
                               &bytes, nullptr) &&
      api.GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return fail("query size");
  std::u16string block(bytes / 2, u'\0');
  if (!api.WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, block.data(),
                               &bytes, nullptr))
    return fail("query");
  block.resize(bytes / 2);
  out.headers = codepage::FromUtf16(block, codepage::kUtf8);

  for (;;) {
    std::uint32_t available = 0;
    if (!api.WinHttpQueryDataAvailable(request.get(), &available))
      return fail("available");
    if (available == 0)
      break;
    std::string chunk(available, '\0');
    std::uint32_t read = 0;
    if (!api.WinHttpReadData(request.get(), chunk.data(), available, &read))
      return fail("read");
    out.body.append(chunk, 0, read);
  }
  return out;
}

// What the server saw of the requests it got.
struct Seen {
  std::mutex mutex;
  std::vector<std::string> methods, targets, bodies;
  std::vector<httplib::Headers> headers;

  void Record(const httplib::Request& req) {
    std::lock_guard<std::mutex> lock(mutex);
    methods.push_back(req.method);
    targets.push_back(req.target);
    bodies.push_back(req.body);
    headers.push_back(req.headers);
  }
  std::string Header(std::size_t i, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    if (i >= headers.size())
      return "(no request)";
    auto range = headers[i].equal_range(name);
    std::string joined;
    for (auto it = range.first; it != range.second; ++it)
      joined += (joined.empty() ? "" : " | ") + it->second;
    return range.first == range.second ? "(absent)" : joined;
  }
  std::size_t Count() {
    std::lock_guard<std::mutex> lock(mutex);
    return methods.size();
  }
};

class WinHttpTest : public ::testing::Test {
 protected:
  // Every method on every path answers with what it got.
  void ServeEcho(LoopbackServer& s) {
    auto echo = [this](const httplib::Request& req, httplib::Response& res) {
      seen_.Record(req);
      res.set_header("X-Final", "1");
      res.set_content(req.method + " " + req.target + " " + req.body, "text/plain");
    };
    s.server().Get(".*", echo).Post(".*", echo).Put(".*", echo).Delete(".*", echo);
    s.server().Options(".*", echo).Patch(".*", echo);
  }

  Api& api_ = SystemApi();
  Seen seen_;
};

TEST_F(WinHttpTest, ExchangesAndShowsTheRawHeaderBlock) {
  LoopbackServer s;
  ServeEcho(s);
  ASSERT_NE(s.Start(), 0);
  Outcome out = Perform(api_, {.url = s.Origin() + "/a/b?x=1", .headers = "X-Mine: 1"});
  ASSERT_EQ(out.failedAt, "") << out.error;
  EXPECT_EQ(out.body, "GET /a/b?x=1 ");
  EXPECT_TRUE(out.headers.starts_with("HTTP/1.1 200 OK\r\n")) << out.headers;
  EXPECT_TRUE(out.headers.ends_with("\r\n\r\n")) << out.headers;
  EXPECT_NE(out.headers.find("\r\nX-Final: 1\r\n"), std::string::npos) << out.headers;
  // Only what the caller gave travels; libcurl's own defaults stay home.
  EXPECT_EQ(seen_.Header(0, "X-Mine"), "1");
  for (const char* name : {"Accept", "User-Agent", "Content-Type", "Expect", "Cookie"})
    EXPECT_EQ(seen_.Header(0, name), "(absent)") << name;
}

TEST_F(WinHttpTest, SendsEachMethodWithItsBody) {
  LoopbackServer s;
  ServeEcho(s);
  ASSERT_NE(s.Start(), 0);
  static const struct {
    const char* method;
    const char* body;
    const char* expectedBody;
    const char* contentLength;
  } cases[] = {
      {"GET", "", "GET /m ", "(absent)"},
      // The test server reads no GET body; its length shows it went out.
      {"GET", "q=1", "GET /m ", "3"},
      {"POST", "a=1", "POST /m a=1", "3"},
      {"POST", "", "POST /m ", "0"},
      {"PUT", "data", "PUT /m data", "4"},
      {"DELETE", "", "DELETE /m ", "(absent)"},
      {"OPTIONS", "", "OPTIONS /m ", "(absent)"},
      {"HEAD", "", "", "(absent)"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    Outcome out = Perform(api_, {.url = s.Origin() + "/m", .method = c.method, .body = c.body});
    ASSERT_EQ(out.failedAt, "") << c.method << " " << out.error;
    EXPECT_EQ(out.body, c.expectedBody) << c.method;
    EXPECT_EQ(seen_.Header(i, "Content-Length"), c.contentLength) << c.method << " " << c.body;
  }
}

TEST_F(WinHttpTest, FollowsRedirectsAsWinHttpDoes) {
  static const struct {
    int status;
    const char* method;
    const char* finalMethod;
    const char* finalBody;
  } cases[] = {
      {301, "POST", "GET", ""},     {302, "POST", "GET", ""},   {303, "POST", "GET", ""},
      {303, "PUT", "GET", ""},      {301, "PUT", "PUT", "b=2"}, {307, "POST", "POST", "b=2"},
      {308, "POST", "POST", "b=2"}, {302, "GET", "GET", ""},
  };
  for (const auto& c : cases) {
    LoopbackServer s;
    auto redirect = [&c](const httplib::Request&, httplib::Response& res) {
      res.status = c.status;
      res.set_header("Location", "/final");
      res.set_header("X-Hop", "1");
      res.set_content("redirect body", "text/plain");
    };
    s.server().Get("/start", redirect).Post("/start", redirect).Put("/start", redirect);
    ServeEcho(s);
    ASSERT_NE(s.Start(), 0);
    // The test server leaves a GET body unread on the connection, where it
    // would garble the next request; a GET goes without one.
    const bool get = std::string(c.method) == "GET";
    Outcome out =
        Perform(api_, {.url = s.Origin() + "/start", .method = c.method, .body = get ? "" : "b=2"});
    ASSERT_EQ(out.failedAt, "") << c.status << " " << c.method;
    EXPECT_EQ(out.body, std::string(c.finalMethod) + " /final " + c.finalBody)
        << c.status << " " << c.method;
    // Only the final response is visible.
    EXPECT_EQ(out.headers.find("X-Hop"), std::string::npos) << out.headers;
    EXPECT_NE(out.headers.find("X-Final: 1"), std::string::npos) << out.headers;
  }
}

TEST_F(WinHttpTest, DisabledRedirectsShowTheRedirectItself) {
  LoopbackServer s;
  s.server().Get("/start", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/final", 302);
    res.set_content("moved", "text/plain");
  });
  ASSERT_NE(s.Start(), 0);
  Outcome out = Perform(api_, {.url = s.Origin() + "/start", .disableRedirects = true});
  ASSERT_EQ(out.failedAt, "") << out.error;
  EXPECT_TRUE(out.headers.starts_with("HTTP/1.1 302 Found\r\n")) << out.headers;
  EXPECT_NE(out.headers.find("Location: /final\r\n"), std::string::npos) << out.headers;
  EXPECT_EQ(out.body, "moved");
}

TEST_F(WinHttpTest, EndlessRedirectsFailTheResponse) {
  LoopbackServer s;
  s.server().Get("/loop", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/loop", 302);
  });
  ASSERT_NE(s.Start(), 0);
  Outcome out = Perform(api_, {.url = s.Origin() + "/loop"});
  EXPECT_EQ(out.failedAt, "receive");
  EXPECT_EQ(out.error, ERROR_WINHTTP_REDIRECT_FAILED);
}

TEST_F(WinHttpTest, CarriesRedirectCookiesOnlyWhenCookieHandlingIsOn) {
  static const struct {
    bool disableCookies;
    const char* cookieAtFinal;
  } cases[] = {
      {false, "r=1; a=1"},
      {true, "a=1"},
  };
  for (const auto& c : cases) {
    LoopbackServer s;
    s.server().Get("/start", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "r=1; Path=/");
      res.set_redirect("/final", 302);
    });
    ServeEcho(s);
    ASSERT_NE(s.Start(), 0);
    Outcome out = Perform(api_, {.url = s.Origin() + "/start",
                                 .headers = "Cookie: a=1",
                                 .disableCookies = c.disableCookies});
    ASSERT_EQ(out.failedAt, "") << out.error;
    EXPECT_EQ(seen_.Header(0, "Cookie"), c.cookieAtFinal) << c.disableCookies;
    seen_.headers.clear();
  }
}

TEST_F(WinHttpTest, SendsBasicCredentialsToServerAndProxy) {
  LoopbackServer s;
  ServeEcho(s);
  ASSERT_NE(s.Start(), 0);
  // The proxy is an ordinary server that answers the absolute-form request
  // itself.
  LoopbackServer proxy;
  ServeEcho(proxy);
  ASSERT_NE(proxy.Start(), 0);

  Outcome direct =
      Perform(api_, {.url = s.Origin() + "/c", .serverUser = "user", .serverPassword = "pa:ss"});
  ASSERT_EQ(direct.failedAt, "") << direct.error;
  EXPECT_EQ(seen_.Header(0, "Authorization"), "Basic dXNlcjpwYTpzcw==");

  const std::string proxyName = "http=127.0.0.1:" + std::to_string(proxy.port());
  Outcome proxied = Perform(
      api_,
      {.url = s.Origin() + "/c", .proxy = proxyName, .proxyUser = "pu", .proxyPassword = "pp"});
  ASSERT_EQ(proxied.failedAt, "") << proxied.error;
  EXPECT_EQ(proxied.body, "GET " + s.Origin() + "/c ");
  EXPECT_EQ(seen_.Header(1, "Proxy-Authorization"), "Basic cHU6cHA=");
}

TEST_F(WinHttpTest, NeverConsultsTheEnvironmentsProxies) {
  LoopbackServer s;
  ServeEcho(s);
  ASSERT_NE(s.Start(), 0);
  // A proxy that would answer differently, were it asked.
  LoopbackServer trap;
  trap.server().Get(".*", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("via the environment's proxy", "text/plain");
  });
  ASSERT_NE(trap.Start(), 0);
  const std::string trapUrl = trap.Origin();
  for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"})
    setenv(name, trapUrl.c_str(), 1);
  setenv("NO_PROXY", "", 1);

  Outcome out = Perform(api_, {.url = s.Origin() + "/direct"});
  ASSERT_EQ(out.failedAt, "") << out.error;
  EXPECT_EQ(out.body, "GET /direct ");

  // A named proxy for HTTP only leaves an HTTPS request direct.
  LoopbackServer tls(Certificates().serverCert, Certificates().serverKey);
  ServeEcho(tls);
  ASSERT_NE(tls.Start(), 0);
  auto trusting = NewSystemApiTrusting(Certificates().caFile);
  Outcome https = Perform(*trusting, {.url = tls.Origin("https") + "/direct",
                                      .proxy = "http=127.0.0.1:" + std::to_string(trap.port())});
  ASSERT_EQ(https.failedAt, "") << https.error;
  EXPECT_EQ(https.body, "GET /direct ");
}

TEST_F(WinHttpTest, VerifiesCertificates) {
  ASSERT_TRUE(Certificates().ok);
  static const struct {
    const char* name;
    bool trustTestCa;
    bool wrongHost;
    bool untrusted;
    bool ok;
  } cases[] = {
      {"test CA trusted", true, false, false, true},
      {"test CA not trusted", false, false, false, false},
      {"wrong host name", true, true, false, false},
      {"self-signed", true, false, true, false},
  };
  for (const auto& c : cases) {
    const auto& certs = Certificates();
    LoopbackServer s(c.wrongHost   ? certs.wrongHostCert
                     : c.untrusted ? certs.untrustedCert
                                   : certs.serverCert,
                     c.wrongHost   ? certs.wrongHostKey
                     : c.untrusted ? certs.untrustedKey
                                   : certs.serverKey);
    ServeEcho(s);
    ASSERT_NE(s.Start(), 0);
    auto trusting = NewSystemApiTrusting(certs.caFile);
    Api& api = c.trustTestCa ? *trusting : SystemApi();
    Outcome out = Perform(api, {.url = s.Origin("https") + "/tls"});
    if (c.ok) {
      EXPECT_EQ(out.failedAt, "") << c.name << " " << out.error;
      EXPECT_EQ(out.body, "GET /tls ") << c.name;
    } else {
      EXPECT_EQ(out.failedAt, "send") << c.name;
      EXPECT_EQ(out.error, ERROR_WINHTTP_SECURE_FAILURE) << c.name;
    }
  }
}

TEST_F(WinHttpTest, UnreachablePortFailsTheSend) {
  LoopbackServer s;
  ASSERT_NE(s.Start(), 0);
  const std::string origin = s.Origin();
  s.Stop();
  Outcome out = Perform(api_, {.url = origin + "/"});
  EXPECT_EQ(out.failedAt, "send");
  EXPECT_EQ(out.error, ERROR_WINHTTP_CANNOT_CONNECT);
}

TEST_F(WinHttpTest, TimeoutsCountIdleTimeOnly) {
  LoopbackServer s;
  // Headers, a few bytes, then nothing.
  s.server().Get("/stall-body", [&s](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(100, "text/plain", [&s](size_t, size_t, httplib::DataSink& sink) {
      sink.write("part", 4);
      s.Stall(20000);
      return false;
    });
  });
  s.server().Get("/stall-headers", [&s](const httplib::Request&, httplib::Response& res) {
    s.Stall(20000);
    res.set_content("late", "text/plain");
  });
  // Slower than the limit in total, but never idle that long.
  s.server().Get("/trickle", [&s](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("text/plain", [&s](size_t offset, httplib::DataSink& sink) {
      if (offset >= 8) {
        sink.done();
        return true;
      }
      s.Stall(300);
      sink.write("ab", 2);
      return true;
    });
  });
  ASSERT_NE(s.Start(), 0);

  static const struct {
    const char* path;
    const char* failedAt;
    const char* body;
  } cases[] = {
      {"/stall-body", "available", ""},
      {"/stall-headers", "receive", ""},
      {"/trickle", "", "abababab"},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    Outcome out = Perform(api_, {.url = s.Origin() + c.path, .timeoutMs = 1000});
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(out.failedAt, c.failedAt) << c.path;
    if (*c.failedAt) {
      EXPECT_EQ(out.error, ERROR_WINHTTP_TIMEOUT) << c.path;
      // Within the limit, give or take the scheduler, and far from the stall.
      EXPECT_GE(elapsed, std::chrono::milliseconds(900)) << c.path;
      EXPECT_LT(elapsed, std::chrono::milliseconds(5000)) << c.path;
    } else {
      EXPECT_EQ(out.body, c.body) << c.path;
    }
  }
}

TEST_F(WinHttpTest, StreamsLargeBodiesBothWays) {
  LoopbackServer s;
  const std::size_t size = 24 << 20;
  s.server().Post("/upload", [](const httplib::Request& req, httplib::Response& res) {
    std::size_t sum = 0;
    for (unsigned char c : req.body)
      sum += c;
    res.set_content(std::to_string(req.body.size()) + " " + std::to_string(sum), "text/plain");
  });
  s.server().Get("/download", [size](const httplib::Request&, httplib::Response& res) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
      body[i] = static_cast<char>(i * 7);
    res.set_content(body, "application/octet-stream");
  });
  ASSERT_NE(s.Start(), 0);

  std::string body(size, '\0');
  std::size_t sum = 0;
  for (std::size_t i = 0; i < size; ++i) {
    body[i] = static_cast<char>(i * 13);
    sum += static_cast<unsigned char>(body[i]);
  }
  Outcome up = Perform(api_, {.url = s.Origin() + "/upload", .method = "POST", .body = body});
  ASSERT_EQ(up.failedAt, "") << up.error;
  EXPECT_EQ(up.body, std::to_string(size) + " " + std::to_string(sum));

  Outcome down = Perform(api_, {.url = s.Origin() + "/download"});
  ASSERT_EQ(down.failedAt, "") << down.error;
  ASSERT_EQ(down.body.size(), size);
  for (std::size_t i = 0; i < size; i += 4099)
    ASSERT_EQ(down.body[i], static_cast<char>(i * 7)) << "at " << i;
}

TEST_F(WinHttpTest, RefusesHeaderLinesThatCouldSmuggleOthers) {
  static const char* blocks[] = {
      "no colon here", ": no name", "Bad Name: x", "X-A: 1\nX-Injected: 2", "X-A: 1\rX-Injected: 2",
  };
  Api& api = SystemApi();
  Handle session(api, api.WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
  Handle connect(api, api.WinHttpConnect(session.get(), u"127.0.0.1", 80, 0));
  for (const char* block : blocks) {
    Handle request(
        api, api.WinHttpOpenRequest(connect.get(), u"GET", u"/", nullptr, nullptr, nullptr, 0));
    const std::u16string wide = Wide(block);
    EXPECT_FALSE(api.WinHttpAddRequestHeaders(request.get(), wide.c_str(), 0xFFFFFFFF,
                                              WINHTTP_ADDREQ_FLAG_ADD))
        << block;
    EXPECT_EQ(api.GetLastError(), ERROR_INVALID_PARAMETER) << block;
  }
  // An empty block adds nothing and is no error.
  Handle request(api,
                 api.WinHttpOpenRequest(connect.get(), u"GET", u"/", nullptr, nullptr, nullptr, 0));
  EXPECT_TRUE(
      api.WinHttpAddRequestHeaders(request.get(), u"", 0xFFFFFFFF, WINHTTP_ADDREQ_FLAG_ADD));
  EXPECT_TRUE(api.WinHttpAddRequestHeaders(request.get(), u"\r\n\r\n", 0xFFFFFFFF,
                                           WINHTTP_ADDREQ_FLAG_ADD));
}

TEST_F(WinHttpTest, HandlesAreCheckedBeforeUse) {
  Api& api = SystemApi();
  HINTERNET session = api.WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
  ASSERT_NE(session, nullptr);
  // A session is no request.
  std::uint32_t available = 0;
  EXPECT_FALSE(api.WinHttpQueryDataAvailable(session, &available));
  EXPECT_EQ(api.GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  EXPECT_TRUE(api.WinHttpCloseHandle(session));
  // A closed handle is gone.
  EXPECT_FALSE(api.WinHttpCloseHandle(session));
  EXPECT_EQ(api.GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(api.WinHttpConnect(session, u"h", 80, 0), nullptr);
  EXPECT_EQ(api.GetLastError(), ERROR_INVALID_HANDLE);
  // A named proxy needs a name; the system's proxy settings are not offered.
  EXPECT_EQ(api.WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NAMED_PROXY, u"", nullptr, 0), nullptr);
  EXPECT_EQ(api.WinHttpOpen(nullptr, 0, nullptr, nullptr, 0), nullptr);
  EXPECT_FALSE(api.WinHttpSetTimeouts(nullptr, -2, 0, 0, 0));
}

TEST_F(WinHttpTest, RequestSettingsCloseOnceItIsSent) {
  LoopbackServer s;
  ServeEcho(s);
  ASSERT_NE(s.Start(), 0);
  Api& api = SystemApi();
  Handle session(api, api.WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
  Handle connect(api, api.WinHttpConnect(session.get(), u"127.0.0.1",
                                         static_cast<std::uint16_t>(s.port()), 0));
  Handle request(api,
                 api.WinHttpOpenRequest(connect.get(), u"GET", u"/", nullptr, nullptr, nullptr, 0));
  std::uint32_t available = 0;
  EXPECT_FALSE(api.WinHttpQueryDataAvailable(request.get(), &available));
  EXPECT_EQ(api.GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  ASSERT_TRUE(api.WinHttpSendRequest(request.get(), nullptr, 0, nullptr, 0, 0, 0));
  const std::uint32_t value = WINHTTP_DISABLE_REDIRECTS;
  EXPECT_FALSE(
      api.WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &value, sizeof value));
  EXPECT_EQ(api.GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  EXPECT_FALSE(api.WinHttpSendRequest(request.get(), nullptr, 0, nullptr, 0, 0, 0));
  // Headers can be read only once the response is in.
  std::uint32_t bytes = 0;
  EXPECT_FALSE(api.WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr,
                                       nullptr, &bytes, nullptr));
  EXPECT_EQ(api.GetLastError(), ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  ASSERT_TRUE(api.WinHttpReceiveResponse(request.get(), nullptr));
  EXPECT_FALSE(api.WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr,
                                       nullptr, &bytes, nullptr));
  EXPECT_EQ(api.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_GT(bytes, 2u);
}

}  // namespace
}  // namespace qp::winhttp
