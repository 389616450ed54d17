#include "cloud/upload_file.h"

#include "cloud/exchange.h"
#include "cloud/origins.h"
#include "cloud/share_link.h"
#include "cloud/texts.h"
#include "cloud/upload_form.h"
#include "platform/clipboard.h"
#include "platform/text_find.h"
#include "script/escape.h"
#include "script/json_document.h"

namespace qp::cloud {

bool UploadFile(const Text& path, const Text& folderId, Text* sessionCookies) {
  script::JsonDocument document;
  Exchange request;
  Text boundary;
  if (!BuildUploadBody(path, folderId, &request.bodyBytes, &boundary))
    return false;
  request.url = Origins().upload + "/fileup.php";
  request.post = true;
  request.cookies = sessionCookies;
  request.extraHeaders = UploadRequestHeaders(boundary);
  Text answer = script::UnescapeText(Send(std::move(request)));

  if (!text::ContainsText(answer, SystemText("上传成功")))
    return false;
  document.Parse(answer);
  Text id = document.GetText("text[0].id");
  if (id.empty())
    return false;
  Text link = FetchShareLink(id, sessionCookies);
  if (link.empty())
    return false;
  // A clipboard that can't take the link does not undo the upload.
  clipboard::SetText(link);
  return true;
}

}  // namespace qp::cloud
