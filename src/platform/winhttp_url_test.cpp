#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "platform/winhttp.h"

namespace qp::winhttp {
namespace {

std::string Part(const char16_t* pointer, std::uint32_t length) {
  if (!pointer)
    return "(none)";
  return codepage::FromUtf16(std::u16string_view(pointer, length), codepage::kUtf8);
}

TEST(WinHttpCrackUrlTest, SplitsHttpAndHttpsUrls) {
  static const struct {
    const char* url;
    bool ok;
    int scheme;
    const char* host;
    int port;
    const char* path;
    const char* extra;
  } cases[] = {
      {"http://example.com", true, 1, "example.com", 80, "", ""},
      {"https://example.com/", true, 2, "example.com", 443, "/", ""},
      {"HTTPS://Example.com:8443/a/b?x=1#f", true, 2, "Example.com", 8443, "/a/b", "?x=1#f"},
      {"http://h?q=1", true, 1, "h", 80, "", "?q=1"},
      {"http://h#frag", true, 1, "h", 80, "", "#frag"},
      {"http://user:pw@h:81/p", true, 1, "h", 81, "/p", ""},
      {"http://[::1]:8080/v6", true, 1, "::1", 8080, "/v6", ""},
      // The scheme decides security, not the port.
      {"http://h:443/", true, 1, "h", 443, "/", ""},
      {"https://h:80/", true, 2, "h", 80, "/", ""},
      {"http://中文.cn/路径", true, 1, "中文.cn", 80, "/路径", ""},
      {"not a url", false, 0, "", 0, "", ""},
      {"", false, 0, "", 0, "", ""},
      {"ftp://h/", false, 0, "", 0, "", ""},
      {"http://", false, 0, "", 0, "", ""},
      {"http:///path", false, 0, "", 0, "", ""},
      {"http://h:0/", false, 0, "", 0, "", ""},
      {"http://h:65536/", false, 0, "", 0, "", ""},
      {"http://h:8x/", false, 0, "", 0, "", ""},
      {"http://h/a\r\nX-Injected: 1", false, 0, "", 0, "", ""},
      {"http://bad host/", false, 0, "", 0, "", ""},
  };
  Api& api = SystemApi();
  for (const auto& c : cases) {
    const std::u16string url = codepage::ToUtf16(c.url, codepage::kUtf8);
    UrlComponents parts;
    parts.schemeLength = parts.hostNameLength = parts.urlPathLength = parts.extraInfoLength =
        kWantPart;
    const bool ok =
        api.WinHttpCrackUrl(url.c_str(), static_cast<std::uint32_t>(url.size()), 0, &parts);
    ASSERT_EQ(ok, c.ok) << c.url;
    if (!ok)
      continue;
    EXPECT_EQ(parts.nScheme, c.scheme) << c.url;
    EXPECT_EQ(Part(parts.hostName, parts.hostNameLength), c.host) << c.url;
    EXPECT_EQ(parts.port, c.port) << c.url;
    EXPECT_EQ(Part(parts.urlPath, parts.urlPathLength), c.path) << c.url;
    EXPECT_EQ(Part(parts.extraInfo, parts.extraInfoLength), c.extra) << c.url;
    EXPECT_EQ(parts.userName, nullptr) << c.url << ": not asked for, not reported";
  }
}

TEST(WinHttpCrackUrlTest, ReadsOnlyTheGivenLength) {
  const std::u16string url = u"http://h/abc";
  UrlComponents parts;
  parts.urlPathLength = kWantPart;
  ASSERT_TRUE(SystemApi().WinHttpCrackUrl(url.c_str(), 10, 0, &parts));
  EXPECT_EQ(Part(parts.urlPath, parts.urlPathLength), "/a");
}

TEST(WinHttpCrackUrlTest, ReportsWhyItFailed) {
  Api& api = SystemApi();
  UrlComponents parts;
  EXPECT_FALSE(api.WinHttpCrackUrl(u"gopher://h/", 0, 0, &parts));
  EXPECT_EQ(api.GetLastError(), ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
  EXPECT_FALSE(api.WinHttpCrackUrl(u"http://h:99999/", 0, 0, &parts));
  EXPECT_EQ(api.GetLastError(), ERROR_WINHTTP_INVALID_URL);
  EXPECT_FALSE(api.WinHttpCrackUrl(nullptr, 0, 0, &parts));
  EXPECT_EQ(api.GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace qp::winhttp
