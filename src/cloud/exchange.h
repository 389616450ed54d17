#pragma once
// One request of the service client, in the terms the protocol needs: the
// service client's only way to the network.

#include "platform/text.h"

namespace qp::cloud {

struct Exchange {
  Text url;
  bool post = false;  // POST (with the form-urlencoded default type) or GET
  Text bodyText;
  Bytes bodyBytes;                  // sent instead of bodyText when not empty
  Text* cookies = nullptr;          // sent; receives the merged cookie text
  Text* responseCookies = nullptr;  // receives the cookies the answer sets
  Text extraHeaders;
};

// Sends the request and returns the decoded answer text; "" on any failure.
Text Send(Exchange exchange);

}  // namespace qp::cloud
