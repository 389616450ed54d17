#pragma once
// Publishing one local file through the service's browser upload form.

#include "platform/text.h"

namespace qp::cloud {

// Uploads the file at `path` into the folder `folderId` ("-1": the top
// folder), looks up its share link and puts the link on the clipboard. true
// when the link is on the clipboard (or, where the clipboard could not take
// it, at least was made). false, with nothing on the clipboard, when the file
// can't be read (nothing is sent then), the upload fails, the answer lacks the
// file's identifier, or the share lookup gives no share identifier. The
// requests refresh `sessionCookies`.
bool UploadFile(const Text& path, const Text& folderId, Text* sessionCookies);

}  // namespace qp::cloud
