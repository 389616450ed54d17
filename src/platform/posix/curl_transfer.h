#pragma once
// One WinHTTP request's exchange on libcurl, driven step by step from the
// synchronous WinHTTP calls: send, receive the final response's headers, then
// drain the body as the caller reads it.
//
// The multi interface lets each call run the transfer only as far as it needs;
// a full body buffer pauses the transfer until the caller reads, so a large
// download never sits in memory twice. Redirects are followed here, not by
// libcurl, so that only the final response's headers are ever visible, as in
// WinHTTP.

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qp::winhttp {

// Milliseconds per phase; 0 or less means no limit.
struct Timeouts {
  int resolve = 0;
  int connect = 60000;
  int send = 30000;
  int receive = 30000;
};

struct TransferSettings {
  std::string url;     // the first request's absolute URL
  std::string method;  // as the request line carries it
  std::string agent;   // User-Agent unless a header gives one
  std::string proxy;   // "http://host:port", or "" for a direct connection
  bool serverCredentials = false;
  std::string serverUser, serverPassword;
  bool proxyCredentials = false;
  std::string proxyUser, proxyPassword;
  bool cookies = true;  // the built-in cookie handling across redirects
  bool redirects = true;
  std::vector<std::string> headers;  // "Name: value" lines, in the order added
  Timeouts timeouts;
  std::string extraCaFile;
};

// Spaces, controls and bytes beyond ASCII percent-encoded, the rest kept:
// WinHTTP escapes what cannot travel in a request line and leaves existing
// escapes alone.
std::string EscapeForRequestLine(const std::string& text);

class CurlTransfer {
 public:
  explicit CurlTransfer(TransferSettings settings);
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // Each returns 0 or a WinHTTP error code.
  // Runs until the request and its body have gone out. The body is read from
  // `body` while the exchange lasts, never copied.
  std::uint32_t Send(const std::uint8_t* body, std::size_t length);
  // Runs until the final response's headers are in.
  std::uint32_t Receive();
  std::uint32_t QueryDataAvailable(std::uint32_t* available);
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t* read);

  bool HeadersReady() const { return headersReady_; }
  // The final response's header block: status line, "Name: value" lines,
  // each ending in CR LF, then an empty line.
  const std::string& Headers() const { return finalHeaders_; }

 private:
  using Clock = std::chrono::steady_clock;
  template <typename Ready>
  std::uint32_t Drive(Ready ready);
  void StartHop();
  void HandleFinishedHop(CURLcode result);
  void Finish(std::uint32_t error);
  void OnHeadersEnd();
  std::size_t Unread() const { return pending_.size() - pendingOffset_; }
  bool BodyStillGoingOut() const { return sendBody_ && bodyOffset_ < bodyLength_; }
  bool SameOriginAsFirst(const std::string& url) const;

  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* self);
  static int OnSeek(void* self, curl_off_t offset, int origin);
  static int OnPrereq(void* self, char*, char*, int, int);
  static CURLcode OnSslContext(CURL*, void* sslContext, void* self);

  TransferSettings settings_;
  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  curl_slist* headerList_ = nullptr;
  std::string cookieHeader_;
  bool attached_ = false;

  // The request as the current hop sends it.
  std::string url_;
  std::string method_;
  bool sendBody_ = false;
  const std::uint8_t* body_ = nullptr;
  std::size_t bodyLength_ = 0;
  std::size_t bodyOffset_ = 0;
  int redirects_ = 0;
  bool started_ = false;  // Send has run
  bool requestGoingOut_ = false;
  Clock::time_point lastActivity_;

  // The current hop's response.
  std::string block_;
  int status_ = 0;
  std::string location_;
  bool anyResponse_ = false;
  bool answered_ = false;  // some hop has had a response; never reset
  bool hopIsRedirect_ = false;
  std::string nextUrl_;
  bool redirectFailed_ = false;

  std::string finalHeaders_;
  bool headersReady_ = false;
  std::string pending_;
  std::size_t pendingOffset_ = 0;
  bool paused_ = false;
  bool done_ = false;
  std::uint32_t error_ = 0;
};

}  // namespace qp::winhttp
