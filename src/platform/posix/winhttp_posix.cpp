// The WinHTTP stand-in: WinHTTP's handles, options and failure codes over a
// libcurl transfer (curl_transfer.h) per request.

#include <curl/curl.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/codepage.h"
#include "platform/posix/curl_transfer.h"
#include "platform/posix/url_crack.h"
#include "platform/winhttp.h"

#ifndef QUILLPOST_CA_FILE
#define QUILLPOST_CA_FILE ""
#endif

namespace qp::winhttp {

struct InternetObject {
  enum class Kind { kSession, kConnect, kRequest };
  explicit InternetObject(Kind k) : kind(k) {}
  virtual ~InternetObject() = default;
  const Kind kind;
};

namespace {

thread_local std::uint32_t last_error = 0;

bool Fail(std::uint32_t error) {
  last_error = error;
  return false;
}

HINTERNET FailHandle(std::uint32_t error) {
  last_error = error;
  return nullptr;
}

struct SessionObject : InternetObject {
  SessionObject() : InternetObject(Kind::kSession) {}
  std::string agent;
  std::string proxy;  // "" or the proxy list as given
  Timeouts timeouts;
};

struct ConnectObject : InternetObject {
  ConnectObject() : InternetObject(Kind::kConnect) {}
  std::string agent;
  std::string proxy;
  Timeouts timeouts;
  std::string server;  // UTF-8
  std::uint16_t port = 0;
};

struct RequestObject : InternetObject {
  RequestObject() : InternetObject(Kind::kRequest) {}
  TransferSettings settings;
  std::string proxyList;
  bool secure = false;
  std::string server;
  std::uint16_t port = 0;
  std::string object;  // escaped for the request line
  std::unique_ptr<CurlTransfer> transfer;
  // Headers become readable through WinHttpReceiveResponse only, however
  // early the transfer happens to have them.
  bool received = false;
};

// Handles are checked against the live set, as WinHTTP checks its handle
// table, so a stale or foreign handle fails instead of being dereferenced.
std::mutex registry_mutex;
std::unordered_set<InternetObject*>& Registry() {
  static auto* registry = new std::unordered_set<InternetObject*>;
  return *registry;
}

HINTERNET Register(std::unique_ptr<InternetObject> object) {
  std::lock_guard<std::mutex> lock(registry_mutex);
  Registry().insert(object.get());
  return object.release();
}

template <typename T>
T* Lookup(HINTERNET handle, InternetObject::Kind kind) {
  std::lock_guard<std::mutex> lock(registry_mutex);
  if (!handle || !Registry().count(handle)) {
    last_error = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  if (handle->kind != kind) {
    last_error = ERROR_WINHTTP_INCORRECT_HANDLE_TYPE;
    return nullptr;
  }
  return static_cast<T*>(handle);
}

std::u16string_view Wide(const char16_t* text, std::uint32_t length = kWantPart) {
  if (!text)
    return {};
  return length == kWantPart ? std::u16string_view(text) : std::u16string_view(text, length);
}

std::string Utf8(std::u16string_view text) {
  return codepage::FromUtf16(text, codepage::kUtf8);
}

// Header values, user names and passwords go out as the bytes the caller's
// Text held.
std::string TextBytes(std::u16string_view text) {
  return codepage::FromUtf16(text, codepage::TextCodePage());
}

// The proxy for one scheme from a WinHTTP proxy list: entries separated by ';'
// or blanks, each "[scheme=][scheme://]host[:port]"; an entry without
// "scheme=" serves every scheme. "" when none applies.
std::string ProxyFor(const std::string& list, bool secure) {
  const std::string wanted = secure ? "https" : "http";
  std::string chosen;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find_first_of("; ", start);
    if (end == std::string::npos)
      end = list.size();
    std::string entry = list.substr(start, end - start);
    start = end + 1;
    if (entry.empty())
      continue;
    std::string scheme;
    if (std::size_t eq = entry.find('='); eq != std::string::npos) {
      scheme = entry.substr(0, eq);
      entry = entry.substr(eq + 1);
    }
    if (std::size_t sep = entry.find("://"); sep != std::string::npos)
      entry = entry.substr(sep + 3);
    if (entry.empty() || (!scheme.empty() && scheme != wanted))
      continue;
    if (entry.find(':') == std::string::npos)
      entry += ":80";
    if (!scheme.empty() || chosen.empty())
      chosen = "http://" + entry;
    if (!scheme.empty())
      break;
  }
  return chosen;
}

bool ValidTimeouts(std::initializer_list<int> values) {
  for (int v : values) {
    if (v < -1)
      return false;
  }
  return true;
}

// Parses a block of "Name: value" lines separated by CR LF into lines the
// transfer sends. Empty lines are skipped; a line without a name and colon,
// or with a lone CR or LF in it, refuses the whole block, so nothing the
// caller wrote can start a header of its own.
bool ParseHeaderBlock(std::u16string_view block, std::vector<std::string>& lines) {
  std::vector<std::string> parsed;
  std::size_t start = 0;
  while (start < block.size()) {
    std::size_t end = block.find(u"\r\n", start);
    if (end == std::u16string_view::npos)
      end = block.size();
    std::string line = TextBytes(block.substr(start, end - start));
    start = end + 2;
    if (line.empty())
      continue;
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string::npos || line.find_first_of("\r\n") != std::string::npos)
      return false;
    std::string name = line.substr(0, colon);
    if (name.find_first_of(" \t") != std::string::npos)
      return false;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    // libcurl reads "Name:" as "remove this header"; "Name;" sends it empty.
    parsed.push_back(value.empty() ? name + ";" : name + ": " + value);
  }
  lines.insert(lines.end(), parsed.begin(), parsed.end());
  return true;
}

bool CurlReady() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

class PosixApi : public Api {
 public:
  explicit PosixApi(std::string extraCaFile) : extraCaFile_(std::move(extraCaFile)) {}

  bool WinHttpCheckPlatform() override { return CurlReady() || Fail(ERROR_WINHTTP_INTERNAL_ERROR); }

  bool WinHttpCrackUrl(const char16_t* url, std::uint32_t length, std::uint32_t flags,
                       UrlComponents* components) override {
    if (!url || !components || flags != 0)
      return Fail(ERROR_INVALID_PARAMETER);
    const std::uint32_t error = CrackUrl(length == 0 ? Wide(url) : Wide(url, length), *components);
    return error == 0 || Fail(error);
  }

  HINTERNET WinHttpOpen(const char16_t* agent, std::uint32_t accessType, const char16_t* proxyName,
                        const char16_t*, std::uint32_t flags) override {
    if (!CurlReady())
      return FailHandle(ERROR_WINHTTP_INTERNAL_ERROR);
    if (flags != 0)  // only synchronous use is offered
      return FailHandle(ERROR_INVALID_PARAMETER);
    auto session = std::make_unique<SessionObject>();
    session->agent = TextBytes(Wide(agent));
    if (accessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
      session->proxy = Utf8(Wide(proxyName));
      if (session->proxy.empty())
        return FailHandle(ERROR_INVALID_PARAMETER);
    } else if (accessType != WINHTTP_ACCESS_TYPE_NO_PROXY) {
      // The system's proxy configuration is never consulted.
      return FailHandle(ERROR_INVALID_PARAMETER);
    }
    return Register(std::move(session));
  }

  bool WinHttpSetTimeouts(HINTERNET handle, int resolve, int connect, int send,
                          int receive) override {
    if (!ValidTimeouts({resolve, connect, send, receive}))
      return Fail(ERROR_INVALID_PARAMETER);
    const Timeouts timeouts{resolve, connect, send, receive};
    if (auto* session = Lookup<SessionObject>(handle, InternetObject::Kind::kSession)) {
      session->timeouts = timeouts;
      return true;
    }
    if (auto* request = Lookup<RequestObject>(handle, InternetObject::Kind::kRequest)) {
      request->settings.timeouts = timeouts;
      return true;
    }
    return false;
  }

  HINTERNET WinHttpConnect(HINTERNET sessionHandle, const char16_t* serverName,
                           std::uint16_t serverPort, std::uint32_t) override {
    auto* session = Lookup<SessionObject>(sessionHandle, InternetObject::Kind::kSession);
    if (!session)
      return nullptr;
    const std::string server = Utf8(Wide(serverName));
    if (server.empty() || server.find_first_of(" \t\r\n/?#@") != std::string::npos)
      return FailHandle(ERROR_WINHTTP_INVALID_URL);
    auto connect = std::make_unique<ConnectObject>();
    connect->agent = session->agent;
    connect->proxy = session->proxy;
    connect->timeouts = session->timeouts;
    connect->server = server;
    connect->port = serverPort;
    return Register(std::move(connect));
  }

  HINTERNET WinHttpOpenRequest(HINTERNET connectHandle, const char16_t* verb,
                               const char16_t* objectName, const char16_t* version, const char16_t*,
                               const char16_t**, std::uint32_t flags) override {
    auto* connect = Lookup<ConnectObject>(connectHandle, InternetObject::Kind::kConnect);
    if (!connect)
      return nullptr;
    const std::string method = verb && *verb ? Utf8(Wide(verb)) : "GET";
    if (method.find_first_of(" \t\r\n") != std::string::npos)
      return FailHandle(ERROR_INVALID_PARAMETER);
    if (version && *version && Wide(version) != u"HTTP/1.1")
      return FailHandle(ERROR_INVALID_PARAMETER);
    auto request = std::make_unique<RequestObject>();
    request->secure = (flags & WINHTTP_FLAG_SECURE) != 0;
    request->server = connect->server;
    request->port = connect->port;
    std::string object = objectName && *objectName ? Utf8(Wide(objectName)) : "/";
    if (object.front() != '/')
      object = "/" + object;
    request->object = EscapeForRequestLine(object);
    request->proxyList = connect->proxy;
    TransferSettings& s = request->settings;
    s.method = method;
    s.agent = connect->agent;
    s.timeouts = connect->timeouts;
    s.extraCaFile = extraCaFile_;
    return Register(std::move(request));
  }

  bool WinHttpSetCredentials(HINTERNET handle, std::uint32_t authTargets, std::uint32_t authScheme,
                             const char16_t* userName, const char16_t* password, void*) override {
    auto* request = Unsent(handle);
    if (!request)
      return false;
    if (authScheme != WINHTTP_AUTH_SCHEME_BASIC || !userName || !password)
      return Fail(ERROR_INVALID_PARAMETER);
    TransferSettings& s = request->settings;
    if (authTargets == WINHTTP_AUTH_TARGET_SERVER) {
      s.serverCredentials = true;
      s.serverUser = TextBytes(Wide(userName));
      s.serverPassword = TextBytes(Wide(password));
    } else if (authTargets == WINHTTP_AUTH_TARGET_PROXY) {
      s.proxyCredentials = true;
      s.proxyUser = TextBytes(Wide(userName));
      s.proxyPassword = TextBytes(Wide(password));
    } else {
      return Fail(ERROR_INVALID_PARAMETER);
    }
    return true;
  }

  bool WinHttpSetOption(HINTERNET handle, std::uint32_t option, const void* buffer,
                        std::uint32_t bufferLength) override {
    auto* request = Unsent(handle);
    if (!request)
      return false;
    if (!buffer || bufferLength != sizeof(std::uint32_t))
      return Fail(ERROR_INVALID_PARAMETER);
    std::uint32_t value;
    std::memcpy(&value, buffer, sizeof value);
    switch (option) {
      case WINHTTP_OPTION_DISABLE_FEATURE:
        if (value & ~(WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS))
          return Fail(ERROR_INVALID_PARAMETER);
        if (value & WINHTTP_DISABLE_COOKIES)
          request->settings.cookies = false;
        if (value & WINHTTP_DISABLE_REDIRECTS)
          request->settings.redirects = false;
        return true;
      case WINHTTP_OPTION_ENABLE_FEATURE:
        // Revocation checking: libcurl with OpenSSL checks no revocation lists
        // by default, and none are configured on this stand-in.
        if (value != WINHTTP_ENABLE_SSL_REVOCATION)
          return Fail(ERROR_INVALID_PARAMETER);
        return true;
      default:
        return Fail(ERROR_WINHTTP_INVALID_OPTION);
    }
  }

  bool WinHttpAddRequestHeaders(HINTERNET handle, const char16_t* headers, std::uint32_t length,
                                std::uint32_t modifiers) override {
    auto* request = Unsent(handle);
    if (!request)
      return false;
    if (modifiers != WINHTTP_ADDREQ_FLAG_ADD)
      return Fail(ERROR_INVALID_PARAMETER);
    // An empty block adds nothing and is no error.
    if (!headers)
      return length == 0 || length == kWantPart || Fail(ERROR_INVALID_PARAMETER);
    return ParseHeaderBlock(Wide(headers, length), request->settings.headers) ||
           Fail(ERROR_INVALID_PARAMETER);
  }

  bool WinHttpSendRequest(HINTERNET handle, const char16_t* headers, std::uint32_t headersLength,
                          const void* optional, std::uint32_t optionalLength,
                          std::uint32_t totalLength, std::uintptr_t) override {
    auto* request = Unsent(handle);
    if (!request)
      return false;
    if (headers && !ParseHeaderBlock(Wide(headers, headersLength), request->settings.headers))
      return Fail(ERROR_INVALID_PARAMETER);
    // Everything is sent in this call; a body to be written later is not
    // offered.
    if (totalLength != optionalLength || (optionalLength > 0 && !optional))
      return Fail(ERROR_INVALID_PARAMETER);
    TransferSettings& s = request->settings;
    const std::string scheme = request->secure ? "https://" : "http://";
    const std::string host = request->server.find(':') != std::string::npos
                                 ? "[" + request->server + "]"
                                 : request->server;
    s.url = scheme + host + ":" + std::to_string(request->port) + request->object;
    s.proxy = ProxyFor(request->proxyList, request->secure);
    request->transfer = std::make_unique<CurlTransfer>(s);
    const std::uint32_t error =
        request->transfer->Send(static_cast<const std::uint8_t*>(optional), optionalLength);
    return error == 0 || Fail(error);
  }

  bool WinHttpReceiveResponse(HINTERNET handle, void*) override {
    auto* request = Sent(handle);
    if (!request)
      return false;
    const std::uint32_t error = request->transfer->Receive();
    if (error != 0)
      return Fail(error);
    request->received = true;
    return true;
  }

  bool WinHttpQueryDataAvailable(HINTERNET handle, std::uint32_t* available) override {
    auto* request = Sent(handle);
    if (!request)
      return false;
    if (!available)
      return Fail(ERROR_INVALID_PARAMETER);
    const std::uint32_t error = request->transfer->QueryDataAvailable(available);
    return error == 0 || Fail(error);
  }

  bool WinHttpReadData(HINTERNET handle, void* buffer, std::uint32_t toRead,
                       std::uint32_t* read) override {
    auto* request = Sent(handle);
    if (!request)
      return false;
    if (!read || (toRead > 0 && !buffer))
      return Fail(ERROR_INVALID_PARAMETER);
    const std::uint32_t error =
        request->transfer->Read(static_cast<std::uint8_t*>(buffer), toRead, read);
    return error == 0 || Fail(error);
  }

  bool WinHttpQueryHeaders(HINTERNET handle, std::uint32_t infoLevel, const char16_t* name,
                           void* buffer, std::uint32_t* bufferLength,
                           std::uint32_t* index) override {
    auto* request = Sent(handle);
    if (!request)
      return false;
    if (!bufferLength || infoLevel != WINHTTP_QUERY_RAW_HEADERS_CRLF || name)
      return Fail(ERROR_INVALID_PARAMETER);
    if (!request->received || !request->transfer->HeadersReady())
      return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    if (index && *index != 0)
      return Fail(ERROR_WINHTTP_HEADER_NOT_FOUND);
    const std::u16string block =
        codepage::ToUtf16(request->transfer->Headers(), codepage::TextCodePage());
    const std::size_t needed = (block.size() + 1) * sizeof(char16_t);
    if (!buffer || *bufferLength < needed) {
      *bufferLength = static_cast<std::uint32_t>(needed);
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, block.c_str(), needed);
    *bufferLength = static_cast<std::uint32_t>(needed - sizeof(char16_t));
    if (index)
      ++*index;
    return true;
  }

  bool WinHttpCloseHandle(HINTERNET handle) override {
    {
      std::lock_guard<std::mutex> lock(registry_mutex);
      if (!handle || !Registry().erase(handle))
        return Fail(ERROR_INVALID_HANDLE);
    }
    delete handle;
    return true;
  }

  std::uint32_t GetLastError() override { return last_error; }

 private:
  // A request that has not been sent yet: credentials, options and headers
  // can only change before it goes.
  RequestObject* Unsent(HINTERNET handle) {
    auto* request = Lookup<RequestObject>(handle, InternetObject::Kind::kRequest);
    if (request && request->transfer) {
      last_error = ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
      return nullptr;
    }
    return request;
  }

  RequestObject* Sent(HINTERNET handle) {
    auto* request = Lookup<RequestObject>(handle, InternetObject::Kind::kRequest);
    if (request && !request->transfer) {
      last_error = ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
      return nullptr;
    }
    return request;
  }

  const std::string extraCaFile_;
};

}  // namespace

Api& SystemApi() {
  static PosixApi* api = new PosixApi(QUILLPOST_CA_FILE);
  return *api;
}

std::unique_ptr<Api> NewSystemApiTrusting(const std::string& extraCaFile) {
  return std::make_unique<PosixApi>(extraCaFile);
}

}  // namespace qp::winhttp
