#pragma once
// A WinHTTP-shaped transport: the synchronous WinHTTP calls the HTTP client
// makes, with WinHTTP's names, flags, option numbers and failure codes. On
// Windows it is WinHTTP itself; on POSIX a stand-in on libcurl with WinHTTP's
// semantics. Strings cross as NUL-terminated UTF-16 (char16_t, as WCHAR).
//
// The constants carry WinHTTP's macro names, so a Windows implementation
// includes this header before <windows.h>.
//
// The calls live on an interface so that tests can wrap the real transport
// and make one call fail (LevelDB's Env pattern); the program uses
// SystemApi().

#include <cstdint>
#include <memory>
#include <string>

namespace qp::winhttp {

struct InternetObject;
using HINTERNET = InternetObject*;

// Access types of WinHttpOpen.
constexpr std::uint32_t WINHTTP_ACCESS_TYPE_NO_PROXY = 1;
constexpr std::uint32_t WINHTTP_ACCESS_TYPE_NAMED_PROXY = 3;

// URL schemes WinHttpCrackUrl reports.
constexpr int INTERNET_SCHEME_HTTP = 1;
constexpr int INTERNET_SCHEME_HTTPS = 2;
constexpr std::uint16_t INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr std::uint16_t INTERNET_DEFAULT_HTTPS_PORT = 443;

constexpr std::uint32_t WINHTTP_FLAG_SECURE = 0x00800000;

constexpr std::uint32_t WINHTTP_AUTH_TARGET_SERVER = 0;
constexpr std::uint32_t WINHTTP_AUTH_TARGET_PROXY = 1;
constexpr std::uint32_t WINHTTP_AUTH_SCHEME_BASIC = 1;

// Options of WinHttpSetOption; the value is a 4-byte flag set.
constexpr std::uint32_t WINHTTP_OPTION_DISABLE_FEATURE = 63;
constexpr std::uint32_t WINHTTP_OPTION_ENABLE_FEATURE = 79;
constexpr std::uint32_t WINHTTP_DISABLE_COOKIES = 1;
constexpr std::uint32_t WINHTTP_DISABLE_REDIRECTS = 2;
constexpr std::uint32_t WINHTTP_ENABLE_SSL_REVOCATION = 1;

constexpr std::uint32_t WINHTTP_ADDREQ_FLAG_ADD = 0x20000000;

constexpr std::uint32_t WINHTTP_QUERY_RAW_HEADERS_CRLF = 22;

// Failure codes, read with GetLastError() after a call returns false or null.
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr std::uint32_t ERROR_WINHTTP_TIMEOUT = 12002;
constexpr std::uint32_t ERROR_WINHTTP_INTERNAL_ERROR = 12004;
constexpr std::uint32_t ERROR_WINHTTP_INVALID_URL = 12005;
constexpr std::uint32_t ERROR_WINHTTP_UNRECOGNIZED_SCHEME = 12006;
constexpr std::uint32_t ERROR_WINHTTP_NAME_NOT_RESOLVED = 12007;
constexpr std::uint32_t ERROR_WINHTTP_INVALID_OPTION = 12009;
constexpr std::uint32_t ERROR_WINHTTP_INCORRECT_HANDLE_TYPE = 12018;
constexpr std::uint32_t ERROR_WINHTTP_INCORRECT_HANDLE_STATE = 12019;
constexpr std::uint32_t ERROR_WINHTTP_CANNOT_CONNECT = 12029;
constexpr std::uint32_t ERROR_WINHTTP_CONNECTION_ERROR = 12030;
constexpr std::uint32_t ERROR_WINHTTP_HEADER_NOT_FOUND = 12150;
constexpr std::uint32_t ERROR_WINHTTP_REDIRECT_FAILED = 12156;
constexpr std::uint32_t ERROR_WINHTTP_SECURE_FAILURE = 12175;

// URL_COMPONENTS. A part whose length is set to kWantPart on input comes back
// as a pointer into the URL and a length in characters; a part left at 0 is
// not reported. The scheme number and the port are always reported.
constexpr std::uint32_t kWantPart = 0xFFFFFFFF;
struct UrlComponents {
  const char16_t* scheme = nullptr;
  std::uint32_t schemeLength = 0;
  int nScheme = 0;
  const char16_t* hostName = nullptr;
  std::uint32_t hostNameLength = 0;
  std::uint16_t port = 0;
  const char16_t* userName = nullptr;
  std::uint32_t userNameLength = 0;
  const char16_t* password = nullptr;
  std::uint32_t passwordLength = 0;
  const char16_t* urlPath = nullptr;
  std::uint32_t urlPathLength = 0;
  const char16_t* extraInfo = nullptr;
  std::uint32_t extraInfoLength = 0;
};

// The WinHTTP calls, synchronous. Each returns false or a null handle on
// failure and leaves the reason for GetLastError() on the calling thread.
class Api {
 public:
  virtual ~Api() = default;

  virtual bool WinHttpCheckPlatform() = 0;
  // `length` 0 means the URL is NUL-terminated.
  virtual bool WinHttpCrackUrl(const char16_t* url, std::uint32_t length, std::uint32_t flags,
                               UrlComponents* components) = 0;
  // `proxyName` lists proxies as WinHTTP does: "host:port" for every scheme,
  // "http=host:port" for one scheme, entries separated by ';' or blanks.
  virtual HINTERNET WinHttpOpen(const char16_t* agent, std::uint32_t accessType,
                                const char16_t* proxyName, const char16_t* proxyBypass,
                                std::uint32_t flags) = 0;
  // Milliseconds; 0 or -1 means no limit. Handles opened later inherit them.
  virtual bool WinHttpSetTimeouts(HINTERNET handle, int resolveTimeout, int connectTimeout,
                                  int sendTimeout, int receiveTimeout) = 0;
  virtual HINTERNET WinHttpConnect(HINTERNET session, const char16_t* serverName,
                                   std::uint16_t serverPort, std::uint32_t reserved) = 0;
  virtual HINTERNET WinHttpOpenRequest(HINTERNET connect, const char16_t* verb,
                                       const char16_t* objectName, const char16_t* version,
                                       const char16_t* referrer, const char16_t** acceptTypes,
                                       std::uint32_t flags) = 0;
  virtual bool WinHttpSetCredentials(HINTERNET request, std::uint32_t authTargets,
                                     std::uint32_t authScheme, const char16_t* userName,
                                     const char16_t* password, void* authParams) = 0;
  virtual bool WinHttpSetOption(HINTERNET handle, std::uint32_t option, const void* buffer,
                                std::uint32_t bufferLength) = 0;
  // `length` in characters; 0xFFFFFFFF means NUL-terminated.
  virtual bool WinHttpAddRequestHeaders(HINTERNET request, const char16_t* headers,
                                        std::uint32_t length, std::uint32_t modifiers) = 0;
  // `optional` must stay valid until WinHttpReceiveResponse has returned: the
  // body is read from it while it goes out, never copied.
  virtual bool WinHttpSendRequest(HINTERNET request, const char16_t* headers,
                                  std::uint32_t headersLength, const void* optional,
                                  std::uint32_t optionalLength, std::uint32_t totalLength,
                                  std::uintptr_t context) = 0;
  virtual bool WinHttpReceiveResponse(HINTERNET request, void* reserved) = 0;
  virtual bool WinHttpQueryDataAvailable(HINTERNET request, std::uint32_t* available) = 0;
  virtual bool WinHttpReadData(HINTERNET request, void* buffer, std::uint32_t toRead,
                               std::uint32_t* read) = 0;
  // `bufferLength` in bytes: on ERROR_INSUFFICIENT_BUFFER it receives the size
  // needed (terminator included); on success the bytes written without it.
  virtual bool WinHttpQueryHeaders(HINTERNET request, std::uint32_t infoLevel, const char16_t* name,
                                   void* buffer, std::uint32_t* bufferLength,
                                   std::uint32_t* index) = 0;
  virtual bool WinHttpCloseHandle(HINTERNET handle) = 0;

  // The reason of the calling thread's last failure.
  virtual std::uint32_t GetLastError() = 0;
};

// The platform's transport. The POSIX stand-in trusts the system's CA bundle
// and the build's QUILLPOST_CA_FILE.
Api& SystemApi();

// A transport that also trusts the CA certificates in `extraCaFile` (PEM), for
// tests whose servers use a CA made at test time.
std::unique_ptr<Api> NewSystemApiTrusting(const std::string& extraCaFile);

// One open handle, closed through its Api when it goes away. Declare the
// session first and the request last so they close request first.
class Handle {
 public:
  Handle() = default;
  Handle(Api& api, HINTERNET handle) : api_(&api), handle_(handle) {}
  ~Handle() { Close(); }
  Handle(Handle&& other) noexcept : api_(other.api_), handle_(other.handle_) {
    other.handle_ = nullptr;
  }
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Close();
      api_ = other.api_;
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Close() {
    if (handle_)
      api_->WinHttpCloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  Api* api_ = nullptr;
  HINTERNET handle_ = nullptr;
};

}  // namespace qp::winhttp
