#include "http/http_request.h"

#include <climits>
#include <cstring>
#include <string_view>

#include "http/cookies.h"
#include "http/encoding.h"
#include "http/headers.h"
#include "platform/codepage.h"
#include "platform/message_pump.h"
#include "platform/text_find.h"
#include "script/regex_object.h"

namespace qp::http {
namespace {

using namespace qp::winhttp;

constexpr const char* kMethodTable[] = {"GET",     "POST",   "HEAD",  "PUT",
                                        "OPTIONS", "DELETE", "TRACE", "CONNECT"};

const char* MethodName(int method) {
  if (method < 0 || method >= static_cast<int>(std::size(kMethodTable)))
    return kMethodTable[0];
  return kMethodTable[method];
}

// The failure messages, exactly as the program reports them.
constexpr char kNoWinHttp[] = "700 当前系统不支持WinHttp服务!";
constexpr char kBadUrl[] = "701 解析URL地址失败!";
constexpr char kNoSession[] = "702 创建WinHttp会话失败!";
constexpr char kNoConnection[] = "703 创建WinHttp连接失败!";
constexpr char kNoRequest[] = "704 创建WinHttp请求失败!";
constexpr char kTimeoutsRefused[] = "705 设置超时时间失败!";
constexpr char kCredentialsRefused[] = "707 设置代理凭证失败!";
constexpr char kCookieOptionRefused[] = "708 禁止自动设置Cookies失败!";
constexpr char kRedirectOptionRefused[] = "709 重定向设置失败!";
constexpr char kHeadersRefused[] = "710 设置协议头失败!";
constexpr char kSendFailed[] = "711 发送请求失败!";
constexpr char kNoResponse[] = "712 服务器未响应!";
constexpr char kReadFailed[] = "713 读取数据失败!";

constexpr int kDefaultTimeoutMs = 30000;

// UTF-16LE bytes as the transport's wide string, without the NUL unit that
// AnsiToUtf16 ends with (c_str() supplies one).
std::u16string Wide(const Bytes& utf16) {
  std::u16string units(utf16.size() / 2, u'\0');
  if (!units.empty())
    std::memcpy(units.data(), utf16.data(), units.size() * 2);
  while (!units.empty() && units.back() == u'\0')
    units.pop_back();
  return units;
}

std::u16string WideText(const Text& text) {
  return Wide(AnsiToUtf16(text));
}

// The phase limit in milliseconds; large values are held at the largest the
// transport takes instead of overflowing.
int TimeoutMilliseconds(int timeoutSeconds) {
  if (timeoutSeconds <= 0)
    return kDefaultTimeoutMs;
  return static_cast<int>(std::min<long long>(timeoutSeconds * 1000LL, INT_MAX));
}

// One call's state: its arguments with their defaults applied, and the
// handles, closed request first.
class Exchange {
 public:
  Exchange(const HttpRequestArgs& args, Api& api)
      : args_(args),
        api_(api),
        method_(args.method.value_or(0)),
        bodyText_(args.bodyText.value_or("")),
        extraHeaders_(args.extraHeaders.value_or("")),
        proxy_(args.proxy.value_or("")),
        cookies_(args.cookies ? *args.cookies : localCookies_),
        responseCookies_(args.responseCookies ? *args.responseCookies : localResponseCookies_) {}

  Text Run();

 private:
  // The failures after which the call returns at once, letting no window
  // messages through, and those it unwinds from normally.
  Text FailQuietly(const char* message) {
    SetStatus(message);
    return "";
  }
  Text Fail(const char* message) {
    SetStatus(message);
    gui::PumpPendingMessages();
    return "";
  }
  void SetStatus(const char* message) {
    if (args_.statusText)
      *args_.statusText = codepage::SystemText(message);
  }
  bool SetFeature(std::uint32_t option, std::uint32_t value) {
    return api_.WinHttpSetOption(request_.get(), option, &value, sizeof value);
  }
  bool SetCredentials(std::uint32_t target, const std::optional<Text>& user,
                      const std::optional<Text>& password);
  Bytes ReadBody();
  Text ProcessResponse(const Bytes& rawHeaders, Bytes body);

  const HttpRequestArgs& args_;
  Api& api_;
  const int method_;
  const Text bodyText_;
  const Text extraHeaders_;
  const Text proxy_;
  Text localCookies_;
  Text localResponseCookies_;
  Text& cookies_;
  Text& responseCookies_;

  // Destroyed last, after the handles, as the call ends.
  script::RegexObject regex_;
  Handle session_;
  Handle connect_;
  Handle request_;
};

Text Exchange::Run() {
  if (!api_.WinHttpCheckPlatform())
    return Fail(kNoWinHttp);

  // The parts come back as pointers into `url`, which must outlive them.
  const std::u16string url = WideText(args_.url);
  UrlComponents parts;
  parts.schemeLength = parts.hostNameLength = parts.urlPathLength = parts.extraInfoLength =
      kWantPart;
  if (url.empty() ||
      !api_.WinHttpCrackUrl(url.c_str(), static_cast<std::uint32_t>(url.size()), 0, &parts))
    return Fail(kBadUrl);

  Bytes hostUnits(reinterpret_cast<const std::uint8_t*>(parts.hostName),
                  reinterpret_cast<const std::uint8_t*>(parts.hostName + parts.hostNameLength));
  const Text host = Utf16ToAnsi(hostUnits);
  // A URL without a path asks for "/", dropping any query; otherwise path
  // and query travel as cracked, unconverted.
  std::u16string objectName = u"/";
  if (parts.urlPathLength >= 1) {
    objectName.assign(parts.urlPath, parts.urlPathLength);
    objectName.append(parts.extraInfo, parts.extraInfoLength);
  }
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  const std::u16string proxyName = WideText(secure ? proxy_ : "http=" + proxy_);
  session_ =
      Handle(api_, api_.WinHttpOpen(nullptr,
                                    proxy_.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY
                                                   : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                                    proxy_.empty() ? nullptr : proxyName.c_str(), nullptr, 0));
  if (!session_)
    return Fail(kNoSession);

  const int timeout = TimeoutMilliseconds(args_.timeoutSeconds.value_or(0));
  if (!api_.WinHttpSetTimeouts(session_.get(), timeout, timeout, timeout, timeout))
    return Fail(kTimeoutsRefused);

  connect_ =
      Handle(api_, api_.WinHttpConnect(session_.get(), WideText(host).c_str(), parts.port, 0));
  if (!connect_)
    return Fail(kNoConnection);

  request_ =
      Handle(api_, api_.WinHttpOpenRequest(connect_.get(), WideText(MethodName(method_)).c_str(),
                                           objectName.c_str(), nullptr, nullptr, nullptr,
                                           secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request_)
    return Fail(kNoRequest);

  if (!SetCredentials(WINHTTP_AUTH_TARGET_SERVER, args_.serverUser, args_.serverPassword) ||
      !SetCredentials(WINHTTP_AUTH_TARGET_PROXY, args_.proxyUser, args_.proxyPassword))
    return FailQuietly(kCredentialsRefused);

  // Certificates are verified: no security flags relax the checks, so the
  // password and the session cookie go only to the real server.

  // Without cookies to send, the transport keeps no cookies of its own;
  // with them, its cookie handling stays on and revocation checks are asked.
  if (!(cookies_.empty()
            ? SetFeature(WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES)
            : SetFeature(WINHTTP_OPTION_ENABLE_FEATURE, WINHTTP_ENABLE_SSL_REVOCATION)))
    return FailQuietly(kCookieOptionRefused);

  if (args_.noRedirect.value_or(false) &&
      !SetFeature(WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS))
    return FailQuietly(kRedirectOptionRefused);

  const std::u16string headers = WideText(
      BuildRequestHeaders(extraHeaders_, method_, cookies_, args_.addDefaultHeaders.value_or(true),
                          args_.normalizeHeaders.value_or(true)));
  if (!api_.WinHttpAddRequestHeaders(request_.get(), headers.c_str(),
                                     static_cast<std::uint32_t>(headers.size()),
                                     WINHTTP_ADDREQ_FLAG_ADD))
    return Fail(kHeadersRefused);

  const bool useBytes = args_.bodyBytes && !args_.bodyBytes->empty();
  const void* body = useBytes ? static_cast<const void*>(args_.bodyBytes->data())
                              : static_cast<const void*>(bodyText_.data());
  const std::size_t bodySize = useBytes ? args_.bodyBytes->size() : bodyText_.size();
  if (bodySize > UINT32_MAX)  // WinHTTP's lengths are 32 bits
    return Fail(kSendFailed);
  const auto length = static_cast<std::uint32_t>(bodySize);
  if (!api_.WinHttpSendRequest(request_.get(), nullptr, 0, body, length, length, 0))
    return Fail(kSendFailed);

  if (!api_.WinHttpReceiveResponse(request_.get(), nullptr))
    return Fail(kNoResponse);

  Bytes responseBody = ReadBody();

  // The header block's size first, then the block itself.
  std::uint32_t size = 0;
  api_.WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr, &size,
                           nullptr);
  Bytes rawHeaders(size, 0);
  if (!api_.WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr,
                                rawHeaders.data(), &size, nullptr)) {
    gui::PumpPendingMessages();
    return "";
  }
  Text result = ProcessResponse(rawHeaders, std::move(responseBody));
  gui::PumpPendingMessages();
  return result;
}

bool Exchange::SetCredentials(std::uint32_t target, const std::optional<Text>& user,
                              const std::optional<Text>& password) {
  const Text name = user.value_or(""), secret = password.value_or("");
  if (name.empty() || secret.empty())
    return true;
  return api_.WinHttpSetCredentials(request_.get(), target, WINHTTP_AUTH_SCHEME_BASIC,
                                    WideText(name).c_str(), WideText(secret).c_str(), nullptr);
}

// Reads until the transport has nothing more. A failed read keeps what came
// before it and leaves its message, which a readable status line replaces.
Bytes Exchange::ReadBody() {
  Bytes body;
  Bytes chunk;  // reused, so each byte is written once on its way into `body`
  for (;;) {
    std::uint32_t available = 0;
    if (!api_.WinHttpQueryDataAvailable(request_.get(), &available) || available < 1)
      break;
    if (chunk.size() < available)
      chunk.resize(available);
    std::uint32_t read = 0;
    if (!api_.WinHttpReadData(request_.get(), chunk.data(), available, &read)) {
      SetStatus(kReadFailed);
      break;
    }
    body.insert(body.end(), chunk.begin(), chunk.begin() + std::min(read, available));
  }
  return body;
}

Text Exchange::ProcessResponse(const Bytes& rawHeaders, Bytes body) {
  const Text block = Utf16ToAnsi(rawHeaders);
  if (args_.responseHeaders)
    *args_.responseHeaders = block;

  // "HTTP/1.1 200 OK" gives "200 OK".
  if (args_.statusText) {
    const Text statusLine = block.substr(0, block.find("\r\n"));
    *args_.statusText = statusLine.size() > 9 ? statusLine.substr(9) : "";
  }

  for (const Text& line : text::SplitText(block, "\r\n")) {
    if (args_.redirectLocation && line.size() >= 10 &&
        text::EqualsIgnoreCase(std::string_view(line).substr(0, 10), "Location: "))
      *args_.redirectLocation = line.substr(10);
    gui::PumpPendingMessages();
  }

  CollectResponseCookies(block, responseCookies_, cookies_, args_.mergeCookies.value_or(true));

  Text result = DecodeResponseText(body, regex_);
  if (args_.responseBytes)
    *args_.responseBytes = std::move(body);
  return result;
}

}  // namespace

Text HttpRequest(const HttpRequestArgs& args) {
  return HttpRequest(args, SystemApi());
}

Text HttpRequest(const HttpRequestArgs& args, Api& api) {
  Exchange exchange(args, api);
  return exchange.Run();
}

}  // namespace qp::http
