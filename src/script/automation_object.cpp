#include "script/automation_object.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/com.h"
#include "script/classes.h"
#include "script/dispatch.h"

namespace qp::script {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

Variant::Variant(const AutomationObject& object) {
  if (object.object_)
    value_ = object.object_;
}

namespace {

// Shortest decimal text that reads back as the same double, as the engines
// print numbers: 5, 0.5, 1e+21.
Text NumberText(double number) {
  if (std::isnan(number))
    return "NaN";
  if (std::isinf(number))
    return number > 0 ? "Infinity" : "-Infinity";
  char buffer[32];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, number);
    if (std::strtod(buffer, nullptr) == number)
      break;
  }
  return buffer;
}

// A whole text that is a decimal number, blanks around it allowed.
bool ParseNumber(const Text& text, double* number) {
  const char* begin = text.c_str();
  while (*begin == ' ' || *begin == '\t')
    ++begin;
  if (*begin == '\0')
    return false;
  char* end = nullptr;
  double value = std::strtod(begin, &end);
  if (end == begin)
    return false;
  while (*end == ' ' || *end == '\t')
    ++end;
  if (end != text.c_str() + text.size())
    return false;
  *number = value;
  return true;
}

}  // namespace

Text Variant::AsText() const {
  switch (kind()) {
    case Kind::kText:
      return std::get<Text>(value_);
    case Kind::kNumber:
      return NumberText(std::get<double>(value_));
    case Kind::kBool:
      return std::get<bool>(value_) ? "True" : "False";
    default:
      return {};
  }
}

double Variant::AsNumber() const {
  switch (kind()) {
    case Kind::kNumber:
      return std::get<double>(value_);
    case Kind::kBool:
      return std::get<bool>(value_) ? -1 : 0;
    case Kind::kText: {
      double number = 0;
      return ParseNumber(std::get<Text>(value_), &number) ? number : 0;
    }
    default:
      return 0;
  }
}

bool Variant::AsBool() const {
  switch (kind()) {
    case Kind::kBool:
      return std::get<bool>(value_);
    case Kind::kNumber:
      return std::get<double>(value_) != 0;
    case Kind::kText: {
      const Text& text = std::get<Text>(value_);
      if (SameName(text, "True"))
        return true;
      double number = 0;
      return ParseNumber(text, &number) && number != 0;
    }
    default:
      return false;
  }
}

Bytes Variant::AsBytes() const {
  return kind() == Kind::kBytes ? std::get<Bytes>(value_) : Bytes();
}

AutomationObject Variant::AsObject() const {
  if (kind() != Kind::kObject)
    return AutomationObject();
  return AutomationObject(std::get<std::shared_ptr<Dispatch>>(value_));
}

bool AutomationObject::Create(std::string_view progId) {
  if (com::InitializeCount() <= 0)
    return false;
  std::shared_ptr<Dispatch> created = CreateInProcessClass(progId);
  if (!created)
    return false;
  object_ = std::move(created);
  return true;
}

bool AutomationObject::WriteProperty(std::string_view name, const Variant& value) {
  if (!object_)
    return false;
  Variant ignored;
  return object_->Invoke(Dispatch::Access::kPut, name, std::span<const Variant>(&value, 1),
                         &ignored);
}

Variant AutomationObject::ReadProperty(std::string_view name, const Arguments& arguments) {
  Variant result;
  if (object_ && !object_->Invoke(Dispatch::Access::kGet, name, arguments, &result))
    result = Variant();
  return result;
}

Variant AutomationObject::CallMethod(std::string_view name, const Arguments& arguments) {
  Variant result;
  if (object_ && !object_->Invoke(Dispatch::Access::kCall, name, arguments, &result))
    result = Variant();
  return result;
}

Text AutomationObject::ReadText(std::string_view name, const Arguments& arguments) {
  return ReadProperty(name, arguments).AsText();
}
double AutomationObject::ReadNumber(std::string_view name, const Arguments& arguments) {
  return ReadProperty(name, arguments).AsNumber();
}
bool AutomationObject::ReadBool(std::string_view name, const Arguments& arguments) {
  return ReadProperty(name, arguments).AsBool();
}
AutomationObject AutomationObject::ReadObject(std::string_view name, const Arguments& arguments) {
  return ReadProperty(name, arguments).AsObject();
}
Text AutomationObject::CallText(std::string_view name, const Arguments& arguments) {
  return CallMethod(name, arguments).AsText();
}
double AutomationObject::CallNumber(std::string_view name, const Arguments& arguments) {
  return CallMethod(name, arguments).AsNumber();
}
bool AutomationObject::CallBool(std::string_view name, const Arguments& arguments) {
  return CallMethod(name, arguments).AsBool();
}
AutomationObject AutomationObject::CallObject(std::string_view name, const Arguments& arguments) {
  return CallMethod(name, arguments).AsObject();
}

}  // namespace qp::script
