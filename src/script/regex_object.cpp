#include "script/regex_object.h"

// First commit: the interface only; every operation gives its empty result.

namespace qp::script {

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(RegexObject&& other) noexcept = default;
RegexObject RegexObject::Copy() const {
  return RegexObject();
}
bool RegexObject::Search(const Text&, const Text&, std::optional<bool>, std::optional<bool>,
                         std::optional<bool>, std::optional<bool>) {
  return false;
}
Text RegexObject::GetPattern() {
  return {};
}
Text RegexObject::ReplaceMatches(const Text&) {
  return {};
}
int RegexObject::MatchCount() {
  return 0;
}
Text RegexObject::MatchText(int, int*) {
  return {};
}
Text RegexObject::SubMatchText(int, int, int*) {
  return {};
}
int RegexObject::SubMatchCount() {
  return 0;
}
int RegexObject::ByteOffsetOfUnits(int) const {
  return 0;
}

}  // namespace qp::script
