#pragma once
// The service's answers, free of any server plumbing: form and multipart
// parsing, JSON in the service's escaped style, the console's pages.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qp::emulator {

// application/x-www-form-urlencoded as PHP reads it: fields split at '&', name
// and value at the first '=', '+' is a blank and %XX a byte. Later fields of the
// same name win.
std::map<std::string, std::string> ParseForm(std::string_view body);
std::string PercentDecode(std::string_view text);

// The cookie items ("name=value", trimmed) of a Cookie header value.
std::vector<std::string> CookieItems(std::string_view header);

struct FormPart {
  std::string name;
  std::string filename;  // the filename attribute; empty for a plain field
  bool hasFilename = false;
  std::string_view content;  // points into the parsed body
};
// The boundary parameter of a multipart/form-data Content-Type; "" if none.
std::string BoundaryOf(std::string_view contentType);
// Splits a multipart/form-data body (RFC 7578). false when the body does not
// start with the first delimiter or lacks the close delimiter.
bool ParseMultipart(std::string_view body, const std::string& boundary,
                    std::vector<FormPart>* parts);

// A JSON value, enough for the service's answers.
struct Json {
  enum class Kind { kNull, kString, kNumber, kObject, kArray } kind = Kind::kNull;
  std::string scalar;  // a string's UTF-8 text, a number's digits
  std::vector<std::pair<std::string, Json>> members;
  std::vector<Json> items;

  static Json Null() { return {}; }
  static Json String(std::string text);
  static Json Number(std::int64_t value);
  static Json Object(std::vector<std::pair<std::string, Json>> members);
  static Json Array(std::vector<Json> items);
};
struct JsonStyle {
  bool pretty = false;     // four-blank indent, LF line breaks
  bool unescaped = false;  // raw UTF-8 and bare slashes instead of \uXXXX and \/
};
// Renders as the service's PHP does: non-ASCII as \u escapes of UTF-16 units
// and '/' as "\/" unless unescaped.
std::string RenderJson(const Json& value, JsonStyle style);

// Console pages, in UTF-8; the caller converts them for a GBK console.
std::string DiskPage(bool gbk);
std::string SignInPrompt(bool gbk);
std::string LoginPage(const std::string& formhash, bool gbk);
std::string LoginAnswer(bool success, const std::string& reason, bool gbk);

}  // namespace qp::emulator
