#pragma once
// The public share link of a freshly uploaded file.

#include "platform/text.h"

namespace qp::cloud {

// Asks the console for the share data of the file `fileId` and returns the
// share identifier ("" when the answer has none: a failed request, an answer
// that is not JSON, no info.f_id, or one that is not text). The request
// refreshes `sessionCookies`.
Text FetchShareId(const Text& fileId, Text* sessionCookies);

// The share origin, "/" and the share identifier; "" for an empty identifier,
// since the origin alone links to nothing.
Text FetchShareLink(const Text& fileId, Text* sessionCookies);

}  // namespace qp::cloud
