#include "script/json_document.h"

#include <cstdio>
#include <string>
#include <utility>

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/text_find.h"
#include "script/json_support_script.h"

namespace qp::script {
namespace {

// Service answers may carry raw line breaks (and other control characters)
// inside string values, which script literals tolerated and JSON does not:
// write those as escapes. Outside strings they are white space and stay.
Text EscapeControlsInStrings(const Text& json) {
  const unsigned codePage = codepage::TextCodePage();
  Text out;
  out.reserve(json.size());
  bool inString = false;
  for (std::size_t pos = 0; pos < json.size();) {
    const auto c = static_cast<unsigned char>(json[pos]);
    const std::size_t size = c < 0x80 ? 1 : codepage::CharSize(json, pos, codePage);
    if (size == 1 && inString && c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out.append(json, pos, size);
      if (size == 1 && c == '"') {
        inString = !inString;
      } else if (size == 1 && c == '\\' && inString) {
        // The escaped character is copied as it is, whatever it is.
        pos += 1;
        const std::size_t escaped = codepage::CharSize(json, pos, codePage);
        out.append(json, pos, escaped);
        pos += escaped;
        continue;
      }
    }
    pos += size;
  }
  return out;
}

// V as the body of a single-quoted script literal that yields exactly V.
Text QuotedBody(const Text& value) {
  Text body = text::ReplaceAll(value, "\\", "\\\\");
  body = text::ReplaceAll(body, "'", "\\'");
  body = text::ReplaceAll(body, "\"", "\\\"");
  body = text::ReplaceAll(body, "\r", "\\r");
  body = text::ReplaceAll(body, "\n", "\\n");
  // Line terminators to the engine too; only the UTF-8 code page has them.
  body = text::ReplaceAll(body, "\xE2\x80\xA8", "\\u2028");
  return text::ReplaceAll(body, "\xE2\x80\xA9", "\\u2029");
}

Text IndexText(int index) {
  return "[" + std::to_string(index) + "]";
}

// A text value pasted into script for Append and SetElement: JSON values as
// they are, texts as a literal that yields exactly the text.
Text PastedValue(const std::optional<Text>& value, std::optional<bool> asJson) {
  if (asJson.value_or(false))
    return value.value_or("");
  return "'" + QuotedBody(value.value_or("")) + "'";
}

}  // namespace

JsonDocument::JsonDocument() : name_("da") {
  StartEngine();
}

JsonDocument::~JsonDocument() {
  engine_.Clear();
  if (comHeld_)
    com::Uninitialize();
}

JsonDocument::JsonDocument(JsonDocument&& other) noexcept
    : comHeld_(std::exchange(other.comHeld_, false)),
      name_(std::move(other.name_)),
      engine_(std::move(other.engine_)) {}

JsonDocument::JsonDocument(NoEngine) : comHeld_(com::Initialize()), name_("da") {}

// The copy takes a COM initialisation of its own, which its destruction
// balances.
JsonDocument JsonDocument::Copy() const {
  JsonDocument copy{NoEngine()};
  copy.name_ = name_;
  copy.engine_ = engine_.Copy();
  return copy;
}

// Each run initialises COM; a document keeps one initialisation however often
// its engine restarts, so a restart gives back the one it held.
void JsonDocument::StartEngine() {
  const bool initialized = com::Initialize();
  if (comHeld_)
    com::Uninitialize();
  comHeld_ = initialized;

  if (!engine_.Create("MSScriptControl.ScriptControl"))
    return;
  engine_.WriteProperty("Language", "JavaScript");
  engine_.CallMethod("AddCode", {kJsonSupportScript});
  Eval("var " + name_ +
       " = {}, str_Code = String.fromCharCode(9216), str_reg = new RegExp(str_Code, 'g')");
}

// The text goes to the engine's JSON parser as a value: whatever it holds, it
// is never run.
bool JsonDocument::Parse(const Text& json) {
  if (!engine_.IsEmpty()) {
    engine_.Clear();
    StartEngine();
  }
  if (engine_.IsEmpty())
    return false;
  Eval("var " + name_ + " = null");
  if (json.size() > kMaxScriptTextSize)
    return false;
  return engine_.CallBool("Run", {"set__parsed", name_, EscapeControlsInStrings(json)});
}

bool JsonDocument::Clear() {
  return EvalDone(name_ + " = {}");
}

Text JsonDocument::ToText() {
  return EvalText("JSON.stringify(" + name_ + ").replace(str_reg, '\\\\')");
}

bool JsonDocument::SetValue(const std::optional<Text>& path, const std::optional<Text>& value,
                            std::optional<bool> asJson) {
  Text p = path.value_or("");
  const bool exists = ResolvePath(&p);
  const Text v = value.value_or("");
  if (!asJson.value_or(false))
    return EvalDone(p + " = '" + QuotedBody(v) + "'.replace(/\\\\/g, str_Code)");
  if (exists)
    return EvalDone(p + " = get__extend(" + p + ", " + (v.empty() ? "{}" : v) + ")");
  return EvalDone(p + " = eval(" + v + ")");
}

bool JsonDocument::AssignJson(const std::optional<Text>& path, const std::optional<Text>& code) {
  return EvalDone(Resolved(path) + " = eval(" + code.value_or("") + ")");
}

bool JsonDocument::ResolvePath(Text* path) {
  if (!path)
    return false;
  if (path->compare(0, name_.size(), name_) == 0 && EvalBool(*path + " != null"))
    return true;
  if (path->empty())
    *path = name_;
  else if ((*path)[0] == '[')
    *path = name_ + *path;
  else
    *path = name_ + "." + *path;
  return EvalBool(*path + " != null");
}

int JsonDocument::TypeOf(const std::optional<Text>& path) {
  const Text p = Resolved(path);
  if (EvalBool(p + " == null"))
    return 0;
  static const struct {
    const char* tag;
    int type;
  } kinds[] = {
      {"[object String]", 6}, {"[object Array]", 5},   {"[object Object]", 4},
      {"[object Number]", 2}, {"[object Boolean]", 1},
  };
  const Text tag = EvalText("Object.prototype.toString.call(" + p + ")");
  for (const auto& kind : kinds) {
    if (tag == kind.tag)
      return kind.type;
  }
  return -1;
}

Text JsonDocument::GetText(const std::optional<Text>& path, std::optional<bool> asJson) {
  if (asJson.value_or(false))
    return GetJson(path);
  return EvalText(Resolved(path) + ".replace(str_reg, '\\\\')");
}

int JsonDocument::GetKeys(std::vector<Text>* names, const std::optional<Text>& path) {
  const Text all = EvalText("get__name_All(" + Resolved(path) + ")");
  std::vector<Text> found;
  for (std::size_t start = 0; !all.empty();) {
    const std::size_t end = all.find("\r\n", start);
    found.push_back(all.substr(start, end == Text::npos ? Text::npos : end - start));
    if (end == Text::npos)
      break;
    start = end + 2;
  }
  const int count = static_cast<int>(found.size());
  if (names)
    *names = std::move(found);
  return count;
}

int JsonDocument::GetCount(const std::optional<Text>& path) {
  return static_cast<int>(Eval("get__count(" + Resolved(path) + ")").AsNumber());
}

JsonDocument JsonDocument::GetObject(const std::optional<Text>& path) {
  return DocumentOf(Resolved(path));
}

bool JsonDocument::Append(const std::optional<Text>& value, const std::optional<Text>& path,
                          std::optional<bool> asJson) {
  const Text p = Resolved(path);
  return EvalDone("if (Object.prototype.toString.call(" + p + ") != '[object Array]') { " + p +
                  " = new Array() } " + p + ".push(" + PastedValue(value, asJson) + ")");
}

JsonDocument JsonDocument::GetElementObject(int index, const std::optional<Text>& path) {
  return DocumentOf(Resolved(path) + IndexText(index));
}

Text JsonDocument::GetElementText(int index, const std::optional<Text>& path,
                                  std::optional<bool> asJson) {
  const Text element = Resolved(path) + IndexText(index);
  if (asJson.value_or(false))
    return EvalText("JSON.stringify(" + element + ").replace(str_reg, '\\\\')");
  return EvalText(element + ".replace(str_reg, '\\\\')");
}

bool JsonDocument::SetElement(int index, const std::optional<Text>& path,
                              const std::optional<Text>& value, std::optional<bool> asJson) {
  return EvalDone(Resolved(path) + IndexText(index) + " = " + PastedValue(value, asJson));
}

bool JsonDocument::RemoveElement(int index, const std::optional<Text>& path) {
  return EvalDone(Resolved(path) + ".splice(" + std::to_string(index) + ", 1)");
}

bool JsonDocument::Delete(const std::optional<Text>& path) {
  return EvalBool("delete " + Resolved(path));
}

bool JsonDocument::SetNumber(const std::optional<Text>& path, double number) {
  return EvalDone(Resolved(path) + " = " + Variant(number).AsText());
}

double JsonDocument::GetNumber(const std::optional<Text>& path) {
  return Eval(Resolved(path)).AsNumber();
}

Text JsonDocument::GetJson(const std::optional<Text>& path) {
  return EvalText("JSON.stringify(" + Resolved(path) + ").replace(str_reg, '\\\\')");
}

Variant JsonDocument::Eval(const Text& code) {
  return engine_.CallMethod("Eval", {code});
}

bool JsonDocument::EvalBool(const Text& code) {
  return Eval(code).AsBool();
}

Text JsonDocument::EvalText(const Text& code) {
  return Eval(code).AsText();
}

// Assignments answer with the value assigned, which says nothing about
// success (an empty text, a zero); what counts is that the code ran.
bool JsonDocument::EvalDone(const Text& code) {
  return EvalBool(code + "\n;true");
}

Text JsonDocument::Resolved(const std::optional<Text>& path) {
  Text p = path.value_or("");
  ResolvePath(&p);
  return p;
}

// A new document holding a copy of the value of `expression`. The marked
// backslashes of stored texts travel as escaped backslashes, so the copy
// reads them back intact (a bare backslash would start an escape).
JsonDocument JsonDocument::DocumentOf(const Text& expression) {
  JsonDocument document;
  document.Parse(EvalText("JSON.stringify(" + expression + ").replace(str_reg, '\\\\\\\\')"));
  return document;
}

}  // namespace qp::script
