#include "platform/posix/url_crack.h"

namespace qp::winhttp {
namespace {

char16_t Lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i]))
      return false;
  }
  return true;
}

// A part the caller asked for (length set) comes back as a pointer and a
// length; one it did not ask for stays as it was.
void Report(std::u16string_view part, const char16_t*& pointer, std::uint32_t& length) {
  if (length == 0)
    return;
  pointer = part.data();
  length = static_cast<std::uint32_t>(part.size());
}

}  // namespace

std::uint32_t CrackUrl(std::u16string_view url, UrlComponents& c) {
  // Control characters would end up in the request line; WinHTTP's own
  // cracking refuses them as well.
  for (char16_t unit : url) {
    if (unit < 0x20 || unit == 0x7F)
      return ERROR_WINHTTP_INVALID_URL;
  }

  const std::size_t schemeEnd = url.find(u"://");
  if (schemeEnd == std::u16string_view::npos || schemeEnd == 0)
    return ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
  const std::u16string_view scheme = url.substr(0, schemeEnd);
  int schemeNumber;
  std::uint16_t defaultPort;
  if (EqualsIgnoreCase(scheme, u"http")) {
    schemeNumber = INTERNET_SCHEME_HTTP;
    defaultPort = INTERNET_DEFAULT_HTTP_PORT;
  } else if (EqualsIgnoreCase(scheme, u"https")) {
    schemeNumber = INTERNET_SCHEME_HTTPS;
    defaultPort = INTERNET_DEFAULT_HTTPS_PORT;
  } else {
    return ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
  }

  const std::size_t authorityStart = schemeEnd + 3;
  std::size_t authorityEnd = url.find_first_of(u"/?#", authorityStart);
  if (authorityEnd == std::u16string_view::npos)
    authorityEnd = url.size();
  std::u16string_view authority = url.substr(authorityStart, authorityEnd - authorityStart);

  std::u16string_view user, password;
  if (std::size_t at = authority.rfind(u'@'); at != std::u16string_view::npos) {
    std::u16string_view userInfo = authority.substr(0, at);
    authority = authority.substr(at + 1);
    const std::size_t colon = userInfo.find(u':');
    user = userInfo.substr(0, colon);
    if (colon != std::u16string_view::npos)
      password = userInfo.substr(colon + 1);
  }

  std::u16string_view host = authority, portText;
  if (!authority.empty() && authority.front() == u'[') {
    const std::size_t close = authority.find(u']');
    if (close == std::u16string_view::npos)
      return ERROR_WINHTTP_INVALID_URL;
    host = authority.substr(1, close - 1);
    std::u16string_view rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != u':')
        return ERROR_WINHTTP_INVALID_URL;
      portText = rest.substr(1);
    }
  } else if (std::size_t colon = authority.find(u':'); colon != std::u16string_view::npos) {
    host = authority.substr(0, colon);
    portText = authority.substr(colon + 1);
  }
  if (host.empty() || host.find_first_of(u" \\") != std::u16string_view::npos)
    return ERROR_WINHTTP_INVALID_URL;

  std::uint32_t port = defaultPort;
  if (!portText.empty()) {
    port = 0;
    for (char16_t unit : portText) {
      if (unit < u'0' || unit > u'9' || port > 65535)
        return ERROR_WINHTTP_INVALID_URL;
      port = port * 10 + (unit - u'0');
    }
    if (port == 0 || port > 65535)
      return ERROR_WINHTTP_INVALID_URL;
  }

  const std::size_t extraStart = url.find_first_of(u"?#", authorityEnd);
  const std::u16string_view path =
      url.substr(authorityEnd, (extraStart == std::u16string_view::npos ? url.size() : extraStart) -
                                   authorityEnd);
  const std::u16string_view extra =
      extraStart == std::u16string_view::npos ? url.substr(url.size()) : url.substr(extraStart);

  c.nScheme = schemeNumber;
  c.port = static_cast<std::uint16_t>(port);
  Report(scheme, c.scheme, c.schemeLength);
  Report(host, c.hostName, c.hostNameLength);
  Report(user, c.userName, c.userNameLength);
  Report(password, c.password, c.passwordLength);
  Report(path, c.urlPath, c.urlPathLength);
  Report(extra, c.extraInfo, c.extraInfoLength);
  return 0;
}

}  // namespace qp::winhttp
