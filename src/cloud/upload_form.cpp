#include "cloud/upload_form.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#include "cloud/fill_template.h"
#include "cloud/form_values.h"
#include "cloud/texts.h"
#include "platform/files.h"
#include "platform/text_find.h"

namespace qp::cloud {
namespace {

const char kTemplateUtf8[] =
    "-----------------------------81971010215309\r\n"
    "Content-Disposition: form-data; name=\"task\"\r\n"
    "\r\n"
    "1\r\n"
    "-----------------------------81971010215309\r\n"
    "Content-Disposition: form-data; name=\"folder_id\"\r\n"
    "\r\n"
    "[目录ID]\r\n"
    "-----------------------------81971010215309\r\n"
    "Content-Disposition: form-data; name=\"id\"\r\n"
    "\r\n"
    "WU_FILE_0\r\n"
    "-----------------------------81971010215309\r\n"
    "Content-Disposition: form-data; name=\"name\"\r\n"
    "\r\n"
    "[文件名]\r\n"
    "-----------------------------81971010215309\r\n"
    "Content-Disposition: form-data; name=\"type\"\r\n"
    "\r\n"
    "application/octet-stream\r\n"
    "-----------------------------81971010215309\r\n"
    "Content-Disposition: form-data; name=\"lastModifiedDate\"\r\n"
    "\r\n"
    "[修改时间]\r\n"
    "-----------------------------81971010215309\r\n"
    "Content-Disposition: form-data; name=\"size\"\r\n"
    "\r\n"
    "[文件大小]\r\n"
    "-----------------------------81971010215309\r\n"
    "Content-Disposition: form-data; name=\"upload_file\"; filename=\"[文件名]\"\r\n"
    "Content-Type: application/octet-stream\r\n"
    "\r\n"
    "[数据]\r\n"
    "-----------------------------81971010215309--";

// Appends `text` to `out` with every occurrence of `placeholder` replaced by
// `value`, left to right, without rescanning what was inserted. `text` is
// still Text, so the search steps over whole characters.
void ReplaceBytes(std::string_view text, std::string_view placeholder, std::string_view value,
                  Bytes* out) {
  for (;;) {
    size_t at = text::FindText(text, placeholder);
    size_t keep = at == text::kNotFound ? text.size() : at;
    out->insert(out->end(), text.begin(), text.begin() + keep);
    if (at == text::kNotFound)
      return;
    out->insert(out->end(), value.begin(), value.end());
    text.remove_prefix(at + placeholder.size());
  }
}

}  // namespace

const char kUploadBoundary[] = "---------------------------81971010215309";
const std::uint64_t kMaxBodySize = UINT32_MAX;

Text UploadFormTemplate() {
  return SystemText(kTemplateUtf8);
}

Text UploadRequestHeaders(const Text& boundary) {
  return "Content-Type: multipart/form-data; boundary=" + boundary +
         "\r\nUser-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64; rv:70.0) Gecko/20100101 "
         "Firefox/70.0";
}

namespace {

// Whether `part`, as the body of a form part, would end early: a delimiter
// line is CR LF, "--" and the boundary, and the CR LF before a part's body
// counts.
bool HoldsDelimiter(std::string_view part, std::string_view boundary) {
  const std::string dashes = "--" + std::string(boundary);
  return part.starts_with(dashes) || part.find("\r\n" + dashes) != std::string_view::npos;
}

// The form's own boundary unless the content or the name holds a delimiter
// line of it; then the first of boundary + "0", "1", ... that neither holds.
// The server would otherwise cut the file short at that line and keep a
// corrupted copy.
Text BoundaryFor(std::string_view content, std::string_view name) {
  Text boundary = kUploadBoundary;
  for (int i = 0; HoldsDelimiter(content, boundary) || HoldsDelimiter(name, boundary); ++i)
    boundary = kUploadBoundary + std::to_string(i);
  return boundary;
}

// The name stands inside a quoted header parameter (filename="..."), where a
// double quote would end it and a line break would end the header. Browsers
// send those three bytes percent-encoded; a Windows name never holds them.
Bytes NameForHeader(Bytes name) {
  Bytes out;
  out.reserve(name.size());
  for (std::uint8_t byte : name) {
    const char* escaped = byte == '"'    ? "%22"
                          : byte == '\r' ? "%0D"
                          : byte == '\n' ? "%0A"
                                         : nullptr;
    if (escaped)
      out.insert(out.end(), escaped, escaped + 3);
    else
      out.push_back(byte);
  }
  return out;
}

// BuildUploadBody's work; false when the file can't be read or the body
// can't be carried.
bool AssembleBody(const Text& path, const Text& folderId, Bytes* body, Text* boundary) {
  std::optional<files::Entry> entry = files::FindEntry(path);
  if (!entry || entry->isDirectory)
    return false;

  Text creation, lastWrite, lastAccess;
  GetFileTimeTexts(path, &creation, &lastWrite, &lastAccess);
  Bytes nameUtf8 = NameForHeader(TextToUtf8(FileNameOfPath(path, true)));
  Text text = FillTemplate(UploadFormTemplate(),
                           {{SystemText("[目录ID]"), folderId},
                            {SystemText("[修改时间]"), lastWrite},
                            {SystemText("[文件大小]"), std::to_string(FileSizeKiB(path))}});
  // A request body's length is a 32-bit number to the transport, so a body
  // past it could only fail after the whole file had been read.
  if (text.size() + 2 * nameUtf8.size() + entry->size > kMaxBodySize)
    return false;

  // The content goes where the template's own [数据] stands, found before any
  // name is inserted: a name holding those bytes stays a name, and the bytes
  // of the file are never searched for placeholders at all.
  const Text data = SystemText("[数据]");
  size_t dataAt = text::FindLastText(text, data);
  Text head = text.substr(0, dataAt);
  Text tail = text.substr(dataAt + data.size());
  const Text name = SystemText("[文件名]");
  std::string_view nameBytes(reinterpret_cast<const char*>(nameUtf8.data()), nameUtf8.size());

  body->reserve(text.size() + 2 * nameUtf8.size() + entry->size);
  ReplaceBytes(head, name, nameBytes, body);
  const size_t contentAt = body->size();
  if (!files::AppendWholeFile(path, body))
    return false;
  const size_t contentSize = body->size() - contentAt;
  ReplaceBytes(tail, name, nameBytes, body);

  std::string_view content(reinterpret_cast<const char*>(body->data()) + contentAt, contentSize);
  *boundary = BoundaryFor(content, nameBytes);
  if (*boundary == kUploadBoundary)
    return true;
  // Rare: the framing again with the other boundary, around the same bytes.
  Bytes framed;
  framed.reserve(body->size() + 16 * (boundary->size() - std::strlen(kUploadBoundary)));
  ReplaceBytes(text::ReplaceAll(head, kUploadBoundary, *boundary), name, nameBytes, &framed);
  framed.insert(framed.end(), content.begin(), content.end());
  ReplaceBytes(text::ReplaceAll(tail, kUploadBoundary, *boundary), name, nameBytes, &framed);
  body->swap(framed);
  return true;
}

}  // namespace

bool BuildUploadBody(const Text& path, const Text& folderId, Bytes* body, Text* boundary) {
  body->clear();
  *boundary = kUploadBoundary;
  // A file the memory can't hold is no body either; nothing has gone out.
  try {
    if (AssembleBody(path, folderId, body, boundary))
      return true;
  } catch (const std::bad_alloc&) {
  }
  body->clear();
  body->shrink_to_fit();
  *boundary = kUploadBoundary;
  return false;
}

}  // namespace qp::cloud
