#include "script/regex_object.h"

#include <utility>

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/text_find.h"

namespace qp::script {

RegexObject::RegexObject() : comHeld_(com::Initialize()) {}

RegexObject::~RegexObject() {
  expression_.Clear();
  matches_.Clear();
  subject_ = Variant();
  if (comHeld_)
    com::Uninitialize();
}

RegexObject::RegexObject(RegexObject&& other) noexcept
    : comHeld_(std::exchange(other.comHeld_, false)),
      expression_(std::move(other.expression_)),
      matches_(std::move(other.matches_)),
      subject_(std::move(other.subject_)) {}

// The copy initialises COM as construction does, so that its own destruction
// balances (the copy otherwise would uninitialise once more than it took).
RegexObject RegexObject::Copy() const {
  RegexObject copy;
  copy.expression_ = expression_.Copy();
  copy.matches_ = matches_.Copy();
  copy.subject_ = subject_;
  return copy;
}

bool RegexObject::Search(const Text& pattern, const Text& subject,
                         std::optional<bool> caseSensitive, std::optional<bool> multiline,
                         std::optional<bool> global, std::optional<bool> quoteMarker) {
  const bool ignoreCase = !caseSensitive.value_or(false);
  const bool isMultiline = multiline.value_or(true);
  const bool isGlobal = global.value_or(true);

  expression_.Clear();
  matches_.Clear();
  // A failed creation is not checked: every step below then fails quietly
  // and no collection comes back.
  expression_.Create("VBScript.RegExp");
  expression_.WriteProperty("IgnoreCase", ignoreCase);
  expression_.WriteProperty("Multiline", isMultiline);
  expression_.WriteProperty("Singleline", true);
  expression_.WriteProperty("Global", isGlobal);

  if (quoteMarker.value_or(false))
    expression_.WriteProperty("Pattern",
                              text::ReplaceAll(pattern, codepage::SystemText("#引号"), "\""));
  else
    expression_.WriteProperty("Pattern", pattern);

  subject_ = Variant(subject);
  matches_ = expression_.CallObject("Execute", {subject_});
  return !matches_.IsEmpty();
}

Text RegexObject::GetPattern() {
  if (expression_.IsEmpty())
    return {};
  return expression_.ReadText("Pattern");
}

Text RegexObject::ReplaceMatches(const Text& replacement) {
  return expression_.CallText("Replace", {subject_, Variant(replacement)});
}

int RegexObject::MatchCount() {
  return static_cast<int>(matches_.ReadNumber("Count"));
}

Text RegexObject::MatchText(int n, int* position) {
  AutomationObject match = matches_.ReadObject("Item", {n - 1});
  Text text = match.ReadText("Value");
  if (position)
    *position = ByteOffsetOfUnits(static_cast<int>(match.ReadNumber("FirstIndex")));
  return text;
}

Text RegexObject::SubMatchText(int n, int k, int* position) {
  AutomationObject match = matches_.ReadObject("Item", {n - 1});
  AutomationObject groups = match.ReadObject("SubMatches");
  Text text = groups.ReadText("Item", {k - 1});
  if (position) {
    // The expression object does not say where a group matched: take the
    // first place at or after the start of its match that holds its text.
    const int matchStart = ByteOffsetOfUnits(static_cast<int>(match.ReadNumber("FirstIndex")));
    const Text subject = subject_.AsText();
    const std::size_t at = text::FindText(subject, text, static_cast<std::size_t>(matchStart),
                                          expression_.ReadBool("IgnoreCase"));
    *position = at == std::string_view::npos ? -1 : static_cast<int>(at);
  }
  return text;
}

int RegexObject::SubMatchCount() {
  AutomationObject match = matches_.ReadObject("Item", {0});
  AutomationObject groups = match.ReadObject("SubMatches");
  return static_cast<int>(groups.ReadNumber("Count"));
}

// FirstIndex counts UTF-16 units; callers index Text by bytes. A character of
// the Text code page is one unit, except a 4-byte UTF-8 sequence (outside the
// BMP), which is two.
int RegexObject::ByteOffsetOfUnits(int units) const {
  const Text subject = subject_.AsText();
  const unsigned codePage = codepage::TextCodePage();
  std::size_t pos = 0;
  int seen = 0;
  while (seen < units && pos < subject.size()) {
    const std::size_t size = codepage::CharSize(subject, pos, codePage);
    seen += (codePage == codepage::kUtf8 && size == 4) ? 2 : 1;
    pos += size;
  }
  return static_cast<int>(pos);
}

}  // namespace qp::script
