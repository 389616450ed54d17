#include "emulator/service.h"

#include <cstdio>

namespace qp::emulator {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

// The value of `attribute="..."` in a header value such as Content-Disposition.
bool QuotedAttribute(std::string_view header, std::string_view attribute, std::string* value) {
  std::string key = "; " + std::string(attribute) + "=\"";
  size_t at = header.find(key);
  if (at == std::string_view::npos)
    return false;
  size_t start = at + key.size();
  size_t end = header.find('"', start);
  if (end == std::string_view::npos)
    return false;
  *value = std::string(header.substr(start, end - start));
  return true;
}

// Decodes one UTF-8 sequence at `i` into a code point; invalid bytes read as
// themselves (Latin-1) so nothing is lost.
char32_t NextCodePoint(const std::string& s, size_t* i) {
  unsigned char c = static_cast<unsigned char>(s[*i]);
  size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  bool whole = extra > 0 && *i + extra < s.size();
  for (size_t k = 1; whole && k <= extra; ++k)
    whole = (static_cast<unsigned char>(s[*i + k]) & 0xC0) == 0x80;
  if (!whole) {
    ++*i;
    return c;
  }
  char32_t cp = c & (0x3F >> extra);
  for (size_t k = 1; k <= extra; ++k)
    cp = (cp << 6) | (static_cast<unsigned char>(s[*i + k]) & 0x3F);
  *i += extra + 1;
  return cp;
}

void AppendEscapedString(const std::string& text, JsonStyle style, std::string* out) {
  out->push_back('"');
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    char buffer[16];
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(static_cast<char>(c));
      ++i;
    } else if (c == '/') {
      out->append(style.unescaped ? "/" : "\\/");
      ++i;
    } else if (c == '\n') {
      out->append("\\n");
      ++i;
    } else if (c == '\r') {
      out->append("\\r");
      ++i;
    } else if (c == '\t') {
      out->append("\\t");
      ++i;
    } else if (c < 0x20) {
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out->append(buffer);
      ++i;
    } else if (c < 0x80 || style.unescaped) {
      out->push_back(static_cast<char>(c));
      ++i;
    } else {
      char32_t cp = NextCodePoint(text, &i);
      if (cp >= 0x10000) {
        cp -= 0x10000;
        std::snprintf(buffer, sizeof buffer, "\\u%04x\\u%04x", 0xD800 + (cp >> 10),
                      0xDC00 + (cp & 0x3FF));
      } else {
        std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(cp));
      }
      out->append(buffer);
    }
  }
  out->push_back('"');
}

void Render(const Json& value, JsonStyle style, int depth, std::string* out) {
  auto newline = [&](int level) {
    if (style.pretty) {
      out->push_back('\n');
      out->append(static_cast<size_t>(level) * 4, ' ');
    }
  };
  switch (value.kind) {
    case Json::Kind::kNull:
      out->append("null");
      break;
    case Json::Kind::kNumber:
      out->append(value.scalar);
      break;
    case Json::Kind::kString:
      AppendEscapedString(value.scalar, style, out);
      break;
    case Json::Kind::kObject:
      out->push_back('{');
      for (size_t i = 0; i < value.members.size(); ++i) {
        if (i)
          out->push_back(',');
        newline(depth + 1);
        AppendEscapedString(value.members[i].first, style, out);
        out->append(style.pretty ? ": " : ":");
        Render(value.members[i].second, style, depth + 1, out);
      }
      if (!value.members.empty())
        newline(depth);
      out->push_back('}');
      break;
    case Json::Kind::kArray:
      out->push_back('[');
      for (size_t i = 0; i < value.items.size(); ++i) {
        if (i)
          out->push_back(',');
        newline(depth + 1);
        Render(value.items[i], style, depth + 1, out);
      }
      if (!value.items.empty())
        newline(depth);
      out->push_back(']');
      break;
  }
}

std::string Page(const std::string& title, const std::string& body, bool gbk) {
  return std::string(
             "<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv=\"Content-Type\" "
             "content=\"text/html; charset=") +
         (gbk ? "gbk" : "utf-8") + "\" />\n<title>" + title + "</title>\n</head>\n<body>\n" + body +
         "\n</body>\n</html>\n";
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::map<std::string, std::string> ParseForm(std::string_view body) {
  std::map<std::string, std::string> fields;
  while (!body.empty()) {
    size_t amp = body.find('&');
    std::string_view field = body.substr(0, amp);
    body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
    if (field.empty())
      continue;
    size_t eq = field.find('=');
    std::string name = PercentDecode(field.substr(0, eq));
    std::string value =
        eq == std::string_view::npos ? std::string() : PercentDecode(field.substr(eq + 1));
    fields[name] = value;
  }
  return fields;
}

std::vector<std::string> CookieItems(std::string_view header) {
  std::vector<std::string> items;
  while (!header.empty()) {
    size_t semi = header.find(';');
    std::string_view item = Trim(header.substr(0, semi));
    header = semi == std::string_view::npos ? std::string_view() : header.substr(semi + 1);
    if (!item.empty())
      items.emplace_back(item);
  }
  return items;
}

std::string BoundaryOf(std::string_view contentType) {
  size_t at = contentType.find("boundary=");
  if (at == std::string_view::npos)
    return {};
  std::string_view value = contentType.substr(at + 9);
  value = value.substr(0, value.find(';'));
  value = Trim(value);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

bool ParseMultipart(std::string_view body, const std::string& boundary,
                    std::vector<FormPart>* parts) {
  parts->clear();
  if (boundary.empty())
    return false;
  const std::string first = "--" + boundary;
  const std::string delimiter = "\r\n--" + boundary;
  if (body.substr(0, first.size()) != first)
    return false;
  size_t pos = first.size();
  for (;;) {
    // After a delimiter: "--" closes, CR LF opens the next part.
    if (body.substr(pos, 2) == "--")
      return true;
    if (body.substr(pos, 2) != "\r\n")
      return false;
    pos += 2;
    size_t headersEnd = body.find("\r\n\r\n", pos);
    if (headersEnd == std::string_view::npos)
      return false;
    std::string_view headers = body.substr(pos, headersEnd - pos);
    size_t contentStart = headersEnd + 4;
    size_t next = body.find(delimiter, contentStart);
    if (next == std::string_view::npos)
      return false;
    FormPart part;
    part.content = body.substr(contentStart, next - contentStart);
    while (!headers.empty()) {
      size_t eol = headers.find("\r\n");
      std::string_view line = headers.substr(0, eol);
      headers = eol == std::string_view::npos ? std::string_view() : headers.substr(eol + 2);
      if (line.substr(0, 20) == "Content-Disposition:") {
        QuotedAttribute(line, "name", &part.name);
        part.hasFilename = QuotedAttribute(line, "filename", &part.filename);
      }
    }
    parts->push_back(std::move(part));
    pos = next + delimiter.size();
  }
}

Json Json::String(std::string text) {
  Json j;
  j.kind = Kind::kString;
  j.scalar = std::move(text);
  return j;
}
Json Json::Number(std::int64_t value) {
  Json j;
  j.kind = Kind::kNumber;
  j.scalar = std::to_string(value);
  return j;
}
Json Json::Object(std::vector<std::pair<std::string, Json>> members) {
  Json j;
  j.kind = Kind::kObject;
  j.members = std::move(members);
  return j;
}
Json Json::Array(std::vector<Json> items) {
  Json j;
  j.kind = Kind::kArray;
  j.items = std::move(items);
  return j;
}

std::string RenderJson(const Json& value, JsonStyle style) {
  std::string out;
  Render(value, style, 0, &out);
  return out;
}

std::string DiskPage(bool gbk) {
  return Page("我的文件",
              "<div class=\"nav\"><a href=\"mydisk.php\">我的文件</a> | <a "
              "href=\"account.php?action=logout\">退出</a></div>\n<div id=\"files\"></div>",
              gbk);
}

std::string SignInPrompt(bool gbk) {
  return Page(
      "登录",
      "<p>请先登录。</p>\n<a href=\"account.php?action=login&amp;ref=/mydisk.php\">登录</a>", gbk);
}

std::string LoginPage(const std::string& formhash, bool gbk) {
  return Page("登录",
              "<form name=\"user_form\" action=\"account.php\" method=\"post\">\n"
              "<input type=\"hidden\" name=\"action\" value=\"login\" />\n"
              "<input type=\"hidden\" name=\"task\" value=\"login\" />\n"
              "<input type=\"hidden\" name=\"ref\" value=\"/mydisk.php\" />\n"
              "<input type=\"hidden\" name=\"formhash\" value=\"" +
                  formhash +
                  "\" />\n"
                  "<input type=\"text\" name=\"username\" value=\"\" />\n"
                  "<input type=\"password\" name=\"password\" value=\"\" />\n"
                  "<input type=\"submit\" value=\"登录\" />\n</form>",
              gbk);
}

std::string LoginAnswer(bool success, const std::string& reason, bool gbk) {
  if (success)
    return Page("提示", "<div class=\"info\">登录成功，欢迎您回来</div>", gbk);
  return Page("提示", "<div class=\"info\">" + reason + "</div>", gbk);
}

}  // namespace qp::emulator
