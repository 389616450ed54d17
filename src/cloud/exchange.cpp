#include "cloud/exchange.h"

#include "http/http_request.h"

namespace qp::cloud {

Text Send(Exchange exchange) {
  http::HttpRequestArgs args;
  args.url = std::move(exchange.url);
  if (exchange.post)
    args.method = 1;
  // Left out unless given, so a GET carries no body and no extra lines.
  if (!exchange.bodyText.empty())
    args.bodyText = std::move(exchange.bodyText);
  if (!exchange.extraHeaders.empty())
    args.extraHeaders = std::move(exchange.extraHeaders);
  args.cookies = exchange.cookies;
  args.responseCookies = exchange.responseCookies;
  // Read in place: an upload body is the file's size, and is not copied again.
  if (!exchange.bodyBytes.empty())
    args.bodyBytes = &exchange.bodyBytes;
  return http::HttpRequest(args);
}

}  // namespace qp::cloud
