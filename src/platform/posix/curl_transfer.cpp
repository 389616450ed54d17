#include "platform/posix/curl_transfer.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/winhttp.h"

namespace qp::winhttp {
namespace {

// WinHTTP's default limit of automatic redirects.
constexpr int kMaxRedirects = 10;
// The body a caller has not read yet is held up to about this much; beyond it
// the transfer pauses and the socket pushes back on the server.
constexpr std::size_t kBufferCap = 1 << 20;
// libcurl's receive and upload chunk sizes; larger chunks make loopback
// transfers of many megabytes cheaper.
constexpr long kReceiveBufferSize = 256 * 1024;
constexpr long kUploadBufferSize = 256 * 1024;
// How often an idle transfer wakes up to check its timeouts.
constexpr int kPollMilliseconds = 100;

std::uint32_t MapError(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return 0;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return ERROR_WINHTTP_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return ERROR_WINHTTP_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      return ERROR_WINHTTP_TIMEOUT;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_USE_SSL_FAILED:
      return ERROR_WINHTTP_SECURE_FAILURE;
    case CURLE_URL_MALFORMAT:
      return ERROR_WINHTTP_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
    case CURLE_OUT_OF_MEMORY:
      return ERROR_WINHTTP_INTERNAL_ERROR;
    default:
      return ERROR_WINHTTP_CONNECTION_ERROR;
  }
}

bool IsFollowedStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string Lower(std::string text) {
  for (char& c : text)
    c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

// The header's name, lower-cased, for "Name: value" (or "Name;").
std::string HeaderName(const std::string& line) {
  return Lower(line.substr(0, line.find_first_of(":;")));
}

// What a URL part of libcurl's parser says, or "".
std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* value = nullptr;
  if (curl_url_get(url, part, &value, flags) != CURLUE_OK)
    return "";
  std::string out = value;
  curl_free(value);
  return out;
}

std::string Origin(const std::string& url) {
  CURLU* parsed = curl_url();
  std::string origin;
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
    origin = Lower(UrlPart(parsed, CURLUPART_SCHEME)) + "://" +
             Lower(UrlPart(parsed, CURLUPART_HOST)) + ":" +
             UrlPart(parsed, CURLUPART_PORT, CURLU_DEFAULT_PORT);
  }
  curl_url_cleanup(parsed);
  return origin;
}

}  // namespace

std::string EscapeForRequestLine(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c <= 0x20 || c >= 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

CurlTransfer::CurlTransfer(TransferSettings settings) : settings_(std::move(settings)) {
  multi_ = curl_multi_init();
  easy_ = curl_easy_init();
  if (!multi_ || !easy_)
    return;

  // Headers that libcurl would add on its own and WinHTTP does not send are
  // switched off unless the caller gave them.
  bool hasAccept = false, hasContentType = false;
  for (const std::string& line : settings_.headers) {
    const std::string name = HeaderName(line);
    hasAccept |= name == "accept";
    hasContentType |= name == "content-type";
    // With the cookie engine on, the caller's Cookie line and the engine's
    // cookies must travel as one header, so it goes through CURLOPT_COOKIE.
    if (name == "cookie" && settings_.cookies) {
      std::size_t value = line.find(':');
      std::string text = value == std::string::npos ? "" : line.substr(value + 1);
      text.erase(0, text.find_first_not_of(' '));
      cookieHeader_ += (cookieHeader_.empty() ? "" : "; ") + text;
      continue;
    }
    headerList_ = curl_slist_append(headerList_, line.c_str());
  }
  if (!hasAccept)
    headerList_ = curl_slist_append(headerList_, "Accept:");
  if (!hasContentType)
    headerList_ = curl_slist_append(headerList_, "Content-Type:");
  headerList_ = curl_slist_append(headerList_, "Expect:");

  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
  if (!settings_.agent.empty())
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, settings_.agent.c_str());
  if (settings_.cookies) {
    curl_easy_setopt(easy_, CURLOPT_COOKIEFILE, "");
    if (!cookieHeader_.empty())
      curl_easy_setopt(easy_, CURLOPT_COOKIE, cookieHeader_.c_str());
  }

  // The proxy is the one named, or none: an empty string keeps libcurl from
  // reading http_proxy, https_proxy, ALL_PROXY and NO_PROXY.
  curl_easy_setopt(easy_, CURLOPT_PROXY, settings_.proxy.c_str());
  curl_easy_setopt(easy_, CURLOPT_NOPROXY, "");
  curl_easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (settings_.proxyCredentials) {
    curl_easy_setopt(easy_, CURLOPT_PROXYUSERNAME, settings_.proxyUser.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROXYPASSWORD, settings_.proxyPassword.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
  }

  // Certificates are verified against the system's CA bundle; an extra CA
  // file is added to the same store, so it widens trust and never replaces it.
  curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy_, CURLOPT_CA_CACHE_TIMEOUT, 0L);
  if (!settings_.extraCaFile.empty()) {
    curl_easy_setopt(easy_, CURLOPT_SSL_CTX_FUNCTION, &CurlTransfer::OnSslContext);
    curl_easy_setopt(easy_, CURLOPT_SSL_CTX_DATA, this);
  }

  const Timeouts& t = settings_.timeouts;
  const long connectLimit = static_cast<long>(std::max(t.resolve, 0)) + std::max(t.connect, 0);
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, connectLimit);

  curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  curl_easy_setopt(easy_, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferSize);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy_, CURLOPT_READFUNCTION, &CurlTransfer::OnRead);
  curl_easy_setopt(easy_, CURLOPT_READDATA, this);
  curl_easy_setopt(easy_, CURLOPT_SEEKFUNCTION, &CurlTransfer::OnSeek);
  curl_easy_setopt(easy_, CURLOPT_SEEKDATA, this);
  curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &CurlTransfer::OnPrereq);
  curl_easy_setopt(easy_, CURLOPT_PREREQDATA, this);
}

CurlTransfer::~CurlTransfer() {
  if (attached_)
    curl_multi_remove_handle(multi_, easy_);
  if (easy_)
    curl_easy_cleanup(easy_);
  if (multi_)
    curl_multi_cleanup(multi_);
  curl_slist_free_all(headerList_);
}

std::uint32_t CurlTransfer::Send(const std::uint8_t* body, std::size_t length) {
  if (started_)
    return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  started_ = true;
  if (!multi_ || !easy_)
    return ERROR_WINHTTP_INTERNAL_ERROR;
  body_ = body;
  bodyLength_ = length;
  url_ = settings_.url;
  method_ = settings_.method;
  // POST and PUT announce their length even when it is 0.
  sendBody_ = length > 0 || method_ == "POST" || method_ == "PUT";
  StartHop();
  const std::uint32_t error =
      Drive([this] { return (requestGoingOut_ && !BodyStillGoingOut()) || anyResponse_; });
  // On loopback one step of libcurl can carry the exchange past the answer,
  // into redirects and their failures. Once the server has answered, the
  // request went out: what went wrong after that belongs to receiving, as
  // it does in WinHTTP.
  return answered_ ? 0 : error;
}

std::uint32_t CurlTransfer::Receive() {
  if (!started_)
    return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  const std::uint32_t error = Drive([this] { return headersReady_; });
  if (headersReady_)
    return 0;
  return error ? error : ERROR_WINHTTP_CONNECTION_ERROR;
}

std::uint32_t CurlTransfer::QueryDataAvailable(std::uint32_t* available) {
  if (!headersReady_)
    return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  const std::uint32_t error = Drive([this] { return Unread() > 0; });
  if (Unread() == 0 && error)
    return error;
  *available = static_cast<std::uint32_t>(std::min<std::size_t>(Unread(), UINT32_MAX));
  return 0;
}

std::uint32_t CurlTransfer::Read(std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t* read) {
  if (!headersReady_)
    return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  const std::uint32_t error = Drive([this] { return Unread() > 0; });
  if (Unread() == 0 && error)
    return error;
  const std::size_t n = std::min<std::size_t>(toRead, Unread());
  if (n > 0)
    std::memcpy(buffer, pending_.data() + pendingOffset_, n);
  pendingOffset_ += n;
  *read = static_cast<std::uint32_t>(n);

  if (pendingOffset_ == pending_.size()) {
    pending_.clear();
    pendingOffset_ = 0;
  } else if (pendingOffset_ >= kBufferCap) {
    pending_.erase(0, pendingOffset_);
    pendingOffset_ = 0;
  }
  if (paused_ && Unread() < kBufferCap) {
    paused_ = false;
    curl_easy_pause(easy_, CURLPAUSE_CONT);
  }
  return 0;
}

// Runs the transfer until `ready` holds or it ends. The send and receive
// limits are idle limits: they count from the last byte that moved (or from
// this call, whichever is later), so a long transfer that keeps moving is
// never cut. Resolve and connect are bounded by libcurl's connect timeout.
template <typename Ready>
std::uint32_t CurlTransfer::Drive(Ready ready) {
  const Clock::time_point entered = Clock::now();
  while (!ready() && !done_) {
    int running = 0;
    if (curl_multi_perform(multi_, &running) != CURLM_OK) {
      Finish(ERROR_WINHTTP_INTERNAL_ERROR);
      break;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy_)
        HandleFinishedHop(message->data.result);
    }
    if (ready() || done_)
      break;

    int waitMs = kPollMilliseconds;
    if (requestGoingOut_ && !paused_) {
      const int limit = BodyStillGoingOut() ? settings_.timeouts.send : settings_.timeouts.receive;
      if (limit > 0) {
        const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(
            Clock::now() - std::max(lastActivity_, entered));
        if (idle.count() >= limit) {
          Finish(ERROR_WINHTTP_TIMEOUT);
          break;
        }
        waitMs = static_cast<int>(std::min<long long>(waitMs, limit - idle.count()));
      }
    }
    curl_multi_poll(multi_, nullptr, 0, waitMs, nullptr);
  }
  return error_;
}

void CurlTransfer::StartHop() {
  block_.clear();
  status_ = 0;
  location_.clear();
  anyResponse_ = false;
  hopIsRedirect_ = false;
  bodyOffset_ = 0;
  requestGoingOut_ = false;
  lastActivity_ = Clock::now();

  curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
  if (method_ == "HEAD") {
    curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, nullptr);
  } else if (sendBody_) {
    curl_easy_setopt(easy_, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(easy_, CURLOPT_POST, 1L);
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodyLength_));
    curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method_ == "POST" ? nullptr : method_.c_str());
  } else {
    curl_easy_setopt(easy_, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method_ == "GET" ? nullptr : method_.c_str());
  }

  // Server credentials go only to the server they were given for.
  if (settings_.serverCredentials && SameOriginAsFirst(url_)) {
    curl_easy_setopt(easy_, CURLOPT_USERNAME, settings_.serverUser.c_str());
    curl_easy_setopt(easy_, CURLOPT_PASSWORD, settings_.serverPassword.c_str());
    curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
  } else {
    curl_easy_setopt(easy_, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(easy_, CURLOPT_PASSWORD, nullptr);
  }

  if (curl_multi_add_handle(multi_, easy_) == CURLM_OK)
    attached_ = true;
  else
    Finish(ERROR_WINHTTP_INTERNAL_ERROR);
}

void CurlTransfer::HandleFinishedHop(CURLcode result) {
  curl_multi_remove_handle(multi_, easy_);
  attached_ = false;
  if (result == CURLE_OK && hopIsRedirect_) {
    // As WinHTTP does: 303 turns every method but HEAD into GET, 301 and 302
    // turn POST into GET, 307 and 308 repeat the request with its body.
    if ((status_ == 303 && method_ != "HEAD") ||
        ((status_ == 301 || status_ == 302) && method_ == "POST")) {
      method_ = "GET";
      sendBody_ = false;
    }
    url_ = nextUrl_;
    StartHop();
    return;
  }
  if (result != CURLE_OK) {
    Finish(redirectFailed_ ? ERROR_WINHTTP_REDIRECT_FAILED : MapError(result));
    return;
  }
  Finish(headersReady_ ? 0 : ERROR_WINHTTP_CONNECTION_ERROR);
}

void CurlTransfer::Finish(std::uint32_t error) {
  if (attached_)
    curl_multi_remove_handle(multi_, easy_);
  attached_ = false;
  done_ = true;
  error_ = error;
}

// At the end of a response's headers: an interim response waits for the real
// one; a redirect that will be followed stays invisible; anything else is the
// final response.
void CurlTransfer::OnHeadersEnd() {
  block_ += "\r\n";
  if (status_ >= 100 && status_ < 200)
    return;
  if (settings_.redirects && IsFollowedStatus(status_) && !location_.empty()) {
    CURLU* target = curl_url();
    const bool resolved = curl_url_set(target, CURLUPART_URL, url_.c_str(), 0) == CURLUE_OK &&
                          curl_url_set(target, CURLUPART_URL,
                                       EscapeForRequestLine(location_).c_str(), 0) == CURLUE_OK;
    const std::string scheme = resolved ? Lower(UrlPart(target, CURLUPART_SCHEME)) : "";
    nextUrl_ = resolved ? UrlPart(target, CURLUPART_URL) : "";
    curl_url_cleanup(target);
    // WinHTTP's default policy: never from HTTPS down to HTTP. Such a
    // redirect, like one to another scheme, is handed back unfollowed.
    const bool downgrade = Lower(url_).starts_with("https:") && scheme == "http";
    if ((scheme == "http" || scheme == "https") && !downgrade) {
      if (++redirects_ > kMaxRedirects) {
        redirectFailed_ = true;
        return;
      }
      hopIsRedirect_ = true;
      return;
    }
  }
  finalHeaders_ = block_;
  headersReady_ = true;
}

std::size_t CurlTransfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
  auto* t = static_cast<CurlTransfer*>(self);
  const std::size_t total = size * count;
  t->lastActivity_ = Clock::now();
  if (t->redirectFailed_)
    return 0;  // fails the transfer
  if (t->headersReady_)
    return total;  // trailers after the final body are not part of the block

  std::string line(data, total);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.pop_back();
  if (line.starts_with("HTTP/")) {
    t->anyResponse_ = true;
    t->answered_ = true;
    t->block_.clear();
    t->location_.clear();
    const std::size_t space = line.find(' ');
    t->status_ = space == std::string::npos ? 0 : std::atoi(line.c_str() + space + 1);
  }
  if (line.empty()) {
    t->OnHeadersEnd();
    return t->redirectFailed_ ? 0 : total;
  }
  t->block_ += line + "\r\n";
  if (HeaderName(line) == "location") {
    std::string value = line.substr(line.find(':') + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    t->location_ = value;
  }
  return total;
}

std::size_t CurlTransfer::OnBody(char* data, std::size_t size, std::size_t count, void* self) {
  auto* t = static_cast<CurlTransfer*>(self);
  const std::size_t total = size * count;
  t->lastActivity_ = Clock::now();
  if (t->hopIsRedirect_)
    return total;  // a followed redirect's body is read and dropped
  if (t->Unread() >= kBufferCap) {
    t->paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  t->pending_.append(data, total);
  return total;
}

std::size_t CurlTransfer::OnRead(char* buffer, std::size_t size, std::size_t count, void* self) {
  auto* t = static_cast<CurlTransfer*>(self);
  t->lastActivity_ = Clock::now();
  const std::size_t n = std::min(size * count, t->bodyLength_ - t->bodyOffset_);
  if (n > 0)
    std::memcpy(buffer, t->body_ + t->bodyOffset_, n);
  t->bodyOffset_ += n;
  return n;
}

// libcurl rewinds the body when a reused connection turns out closed and the
// request has to go again.
int CurlTransfer::OnSeek(void* self, curl_off_t offset, int origin) {
  auto* t = static_cast<CurlTransfer*>(self);
  if (origin != SEEK_SET || offset < 0 || static_cast<std::size_t>(offset) > t->bodyLength_)
    return CURL_SEEKFUNC_FAIL;
  t->bodyOffset_ = static_cast<std::size_t>(offset);
  return CURL_SEEKFUNC_OK;
}

// Called once the connection (TLS included) stands and the request is about
// to go: from here on the send and receive limits apply.
int CurlTransfer::OnPrereq(void* self, char*, char*, int, int) {
  auto* t = static_cast<CurlTransfer*>(self);
  t->requestGoingOut_ = true;
  t->lastActivity_ = Clock::now();
  return CURL_PREREQFUNC_OK;
}

CURLcode CurlTransfer::OnSslContext(CURL*, void* sslContext, void* self) {
  auto* t = static_cast<CurlTransfer*>(self);
  X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
  if (!store || X509_STORE_load_file(store, t->settings_.extraCaFile.c_str()) != 1)
    return CURLE_SSL_CACERT_BADFILE;
  return CURLE_OK;
}

bool CurlTransfer::SameOriginAsFirst(const std::string& url) const {
  return Origin(url) == Origin(settings_.url);
}

}  // namespace qp::winhttp
