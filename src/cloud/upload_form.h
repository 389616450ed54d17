#pragma once
// The multipart body of the service's browser upload form.

#include <cstdint>

#include "platform/text.h"

namespace qp::cloud {

// The boundary parameter; each delimiter line is "--" and this.
extern const char kUploadBoundary[];

// The longest body a request carries: its length is a 32-bit number to the
// transport (WinHTTP).
extern const std::uint64_t kMaxBodySize;

// The form as the browser uploader posts it, in the Text code page: 34 lines
// joined by CR LF, no line break after the close delimiter, with the
// placeholders [目录ID], [文件名] (twice), [修改时间], [文件大小] and [数据].
Text UploadFormTemplate();

// The two header lines the upload sends with a body framed by `boundary`,
// joined by CR LF.
Text UploadRequestHeaders(const Text& boundary = kUploadBoundary);

// The finished body for the file at `path`: the template with the folder
// identifier, the last-write time and the size in KiB filled in as text, the
// file name as UTF-8 bytes in the name field and the filename attribute, and
// the file's bytes as the upload_file part. A file name or content that holds
// placeholder bytes is sent as it is. `boundary` receives the boundary that
// frames the body: the form's own, unless the content or the name holds a
// delimiter line of it, which would cut the file short at the server. false,
// with `body` empty, when the file can't be read (missing, a folder, no
// permission) or the body would pass kMaxBodySize or the memory available:
// there is nothing to send.
bool BuildUploadBody(const Text& path, const Text& folderId, Bytes* body, Text* boundary);

}  // namespace qp::cloud
