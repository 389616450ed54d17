#include "script/escape.h"

#include <string>

#include "platform/codepage.h"
#include "platform/com.h"
#include "script/automation_object.h"

namespace qp::script {
namespace {

bool IsHex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The text as the body of a single-quoted script literal that decodes to what
// the text says: its escape sequences are kept for the engine to decode, while
// everything that would end the literal early or break it (an apostrophe, a
// line break, a backslash with nothing to escape, a malformed \x) is written
// so that it stands for itself. "\u" becomes "%u", which the engine's
// unescape decodes when four hex digits follow and leaves alone otherwise.
std::u16string LiteralBody(std::u16string_view text) {
  std::u16string body;
  body.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\\') {
      if (i + 1 == text.size()) {
        body += u"\\\\";  // a trailing backslash escapes nothing
        break;
      }
      const char16_t next = text[++i];
      if (next == u'u') {
        body += u"%u";
      } else if (next == u'x' &&
                 !(i + 2 < text.size() && IsHex(text[i + 1]) && IsHex(text[i + 2]))) {
        body += u'x';
      } else if (next == u'\r' || next == u'\n' || next == u'\u2028' || next == u'\u2029') {
        --i;  // the line break is written as its own escape below
      } else if (next >= u'1' && next <= u'9') {
        body += next;  // no octal escapes: a digit stands for itself
      } else {
        body += c;
        body += next;
      }
      continue;
    }
    switch (c) {
      case u'\'':
        body += u"\\'";
        break;
      case u'\r':
        body += u"\\r";
        break;
      case u'\n':
        body += u"\\n";
        break;
      case u'\u2028':
        body += u"\\u2028";
        break;
      case u'\u2029':
        body += u"\\u2029";
        break;
      default:
        body += c;
    }
  }
  return body;
}

}  // namespace

Text UnescapeText(const Text& text) {
  const unsigned codePage = codepage::TextCodePage();
  // A lone carriage return at the very start is dropped, as it always was.
  std::string_view input = text;
  if (!input.empty() && input[0] == '\r' && !(input.size() > 1 && input[1] == '\n'))
    input.remove_prefix(1);
  const std::u16string body = LiteralBody(codepage::ToUtf16(input, codePage));

  com::ScopedInitialize com;
  AutomationObject engine;
  Variant decoded;
  if (engine.Create("ScriptControl") && engine.WriteProperty("Language", "JScript")) {
    const std::u16string statement = u"function xx(){var x='" + body + u"';return unescape(x);}";
    engine.CallMethod("ExecuteStatement", {codepage::FromUtf16(statement, codePage)});
    decoded = engine.CallMethod("Run", {"xx"});
  }
  engine.Clear();
  // Only an engine that could not run at all (not created, out of memory or
  // time) gives no text; the text then comes back as it was.
  if (decoded.kind() != Variant::Kind::kText)
    return Text(input);
  return decoded.AsText();
}

Text Utf16BytesToText(const Bytes& bytes) {
  Variant data(bytes);
  com::ScopedInitialize com;
  AutomationObject stream;
  if (!stream.Create("Adodb.Stream"))
    return {};
  stream.WriteProperty("Type", 1);
  stream.WriteProperty("Mode", 3);
  stream.CallMethod("Open");
  stream.CallMethod("Write", {data});
  stream.WriteProperty("Position", 0);
  stream.WriteProperty("Type", 2);
  stream.WriteProperty("Charset", "unicode");
  Text text = stream.CallText("ReadText");
  stream.CallMethod("Close");
  return text;
}

}  // namespace qp::script
