#pragma once
// One complete HTTP or HTTPS exchange: the program's only way to the network.

#include <optional>

#include "platform/text.h"
#include "platform/winhttp.h"

namespace qp::http {

// The arguments, in their order. Only `url` is required; a field left out
// takes the default noted. The pointers are the caller's variables, read and
// written in place; null means left out.
struct HttpRequestArgs {
  Text url = "";  // absolute http:// or https:// URL
  // Index into GET, POST, HEAD, PUT, OPTIONS, DELETE, TRACE, CONNECT; any
  // other index is GET. Default 0.
  std::optional<int> method = std::nullopt;
  // Sent as its bytes unchanged, when `bodyBytes` is empty. Default "".
  std::optional<Text> bodyText = std::nullopt;
  // In: the cookie text to send. Out, when a merge runs: the merged text.
  Text* cookies = nullptr;
  // Appended to: the cookies the response sets (merged, when a merge runs).
  Text* responseCookies = nullptr;
  std::optional<Text> extraHeaders = std::nullopt;  // header lines, CR LF separated
  Text* responseHeaders = nullptr;                  // out: the raw response header block
  std::optional<bool> noRedirect = std::nullopt;    // default false
  // Basic credentials, used when both of a pair are non-empty.
  std::optional<Text> serverUser = std::nullopt;
  std::optional<Text> serverPassword = std::nullopt;
  std::optional<Text> proxy = std::nullopt;  // "host:port"; empty means no proxy at all
  std::optional<Text> proxyUser = std::nullopt;
  std::optional<Text> proxyPassword = std::nullopt;
  std::optional<int> timeoutSeconds = std::nullopt;  // per phase; 0 or less: 30
  Text* redirectLocation = nullptr;                  // out: the response's Location
  // Out: the status code and reason after a response, the numbered failure
  // message after a failure.
  Text* statusText = nullptr;
  Bytes* responseBytes = nullptr;                        // out: the raw body
  std::optional<bool> mergeCookies = std::nullopt;       // default true
  std::optional<bool> addDefaultHeaders = std::nullopt;  // default true
  // Sent instead of `bodyText` when non-empty; read in place, not copied.
  const Bytes* bodyBytes = nullptr;
  std::optional<bool> normalizeHeaders = std::nullopt;  // default true
};

// Performs the exchange and returns the decoded body; "" after any failure,
// with the failure's message in `statusText`. An HTTP error status is no
// failure. Lets the calling thread's window messages through while it works.
Text HttpRequest(const HttpRequestArgs& args);

// The same over another transport (tests wrap the real one to inject faults).
Text HttpRequest(const HttpRequestArgs& args, winhttp::Api& api);

}  // namespace qp::http
