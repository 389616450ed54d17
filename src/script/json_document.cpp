#include "script/json_document.h"

// First commit: the interface only; every operation gives its empty result.

namespace qp::script {

JsonDocument::JsonDocument() : name_("da") {}
JsonDocument::~JsonDocument() = default;
JsonDocument::JsonDocument(JsonDocument&& other) noexcept = default;
JsonDocument JsonDocument::Copy() const {
  return JsonDocument();
}
void JsonDocument::StartEngine() {}
bool JsonDocument::Parse(const Text&) {
  return false;
}
bool JsonDocument::Clear() {
  return false;
}
Text JsonDocument::ToText() {
  return {};
}
bool JsonDocument::SetValue(const std::optional<Text>&, const std::optional<Text>&,
                            std::optional<bool>) {
  return false;
}
bool JsonDocument::AssignJson(const std::optional<Text>&, const std::optional<Text>&) {
  return false;
}
bool JsonDocument::ResolvePath(Text*) {
  return false;
}
int JsonDocument::TypeOf(const std::optional<Text>&) {
  return 0;
}
Text JsonDocument::GetText(const std::optional<Text>&, std::optional<bool>) {
  return {};
}
int JsonDocument::GetKeys(std::vector<Text>* names, const std::optional<Text>&) {
  if (names)
    names->clear();
  return 0;
}
int JsonDocument::GetCount(const std::optional<Text>&) {
  return 0;
}
JsonDocument JsonDocument::GetObject(const std::optional<Text>&) {
  return JsonDocument();
}
bool JsonDocument::Append(const std::optional<Text>&, const std::optional<Text>&,
                          std::optional<bool>) {
  return false;
}
JsonDocument JsonDocument::GetElementObject(int, const std::optional<Text>&) {
  return JsonDocument();
}
Text JsonDocument::GetElementText(int, const std::optional<Text>&, std::optional<bool>) {
  return {};
}
bool JsonDocument::SetElement(int, const std::optional<Text>&, const std::optional<Text>&,
                              std::optional<bool>) {
  return false;
}
bool JsonDocument::RemoveElement(int, const std::optional<Text>&) {
  return false;
}
bool JsonDocument::Delete(const std::optional<Text>&) {
  return false;
}
bool JsonDocument::SetNumber(const std::optional<Text>&, double) {
  return false;
}
double JsonDocument::GetNumber(const std::optional<Text>&) {
  return 0;
}
Text JsonDocument::GetJson(const std::optional<Text>&) {
  return {};
}

}  // namespace qp::script
