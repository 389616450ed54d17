#include "cloud/share_link.h"

#include "cloud/exchange.h"
#include "cloud/origins.h"
#include "script/escape.h"
#include "script/json_document.h"

namespace qp::cloud {

Text FetchShareId(const Text& fileId, Text* sessionCookies) {
  script::JsonDocument document;
  Exchange request;
  request.url = Origins().account + "/doupload.php";
  request.post = true;
  request.bodyText = "task=22&file_id=" + fileId;
  request.cookies = sessionCookies;
  Text answer = script::UnescapeText(Send(std::move(request)));
  document.Parse(answer);
  return document.GetText("info['f_id']");
}

Text FetchShareLink(const Text& fileId, Text* sessionCookies) {
  Text shareId = FetchShareId(fileId, sessionCookies);
  if (shareId.empty())
    return {};
  return Origins().share + "/" + shareId;
}

}  // namespace qp::cloud
