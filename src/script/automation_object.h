#pragma once
// The one late-binding layer between the program and its script-host objects.
//
// An AutomationObject holds at most one reference to an object created by
// ProgID and reaches its members by name with positional arguments, as
// IDispatch does. The four classes the program uses are provided in-process on
// every platform, so behaviour is the same on Windows and Linux:
//   "VBScript.RegExp"                           regular expressions (ECMAScript)
//   "MSScriptControl.ScriptControl", "ScriptControl"   a JavaScript engine
//   "Adodb.Stream"                              bytes to text in a named charset
// Member names are matched case-insensitively, like IDispatch names.
//
// Failures are values: a read, write or call on an empty holder, of an unknown
// member, with refused arguments, or failing inside the object yields the empty
// value of the asked kind ("" / 0 / false / empty Bytes / empty object).

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/text.h"

namespace qp::script {

class AutomationObject;
class Dispatch;  // an in-process class behind a holder; see dispatch.h

// One argument or result. Texts are in the Text code page, numbers doubles,
// flags booleans, byte arrays Bytes, objects holders of their own.
class Variant {
 public:
  enum class Kind { kEmpty, kText, kNumber, kBool, kBytes, kObject };

  Variant() = default;
  Variant(Text text) : value_(std::move(text)) {}
  Variant(const char* text) : value_(Text(text)) {}
  Variant(double number) : value_(number) {}
  Variant(int number) : value_(static_cast<double>(number)) {}
  Variant(bool flag) : value_(flag) {}
  Variant(Bytes bytes) : value_(std::move(bytes)) {}
  Variant(const AutomationObject& object);

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  // The text held without a copy; null when the value is no text.
  const Text* IfText() const { return std::get_if<Text>(&value_); }
  bool IsEmpty() const { return kind() == Kind::kEmpty; }

  // Coercions as automation does them: a number reads as its shortest decimal
  // text and a text holding a number reads as that number; a flag reads as
  // "True"/"False" and -1/0. What does not convert gives the empty value.
  Text AsText() const;
  double AsNumber() const;
  bool AsBool() const;
  Bytes AsBytes() const;
  AutomationObject AsObject() const;

 private:
  std::variant<std::monostate, Text, double, bool, Bytes, std::shared_ptr<Dispatch>> value_;
};

using Arguments = std::vector<Variant>;

// The script engines refuse a text argument longer than this (bytes), and
// each engine's memory is capped near it, so a hostile answer fails cleanly.
constexpr std::size_t kMaxScriptTextSize = 32u << 20;

class AutomationObject {
 public:
  AutomationObject() = default;
  explicit AutomationObject(std::shared_ptr<Dispatch> object) : object_(std::move(object)) {}

  // Creates the class named by a ProgID (case-insensitive) or its CLSID in
  // braces. As CoCreateInstance does, it fails while the calling thread has
  // not initialised COM (qp::com::Initialize). On success the holder drops
  // what it held; on failure it keeps it and returns false.
  bool Create(std::string_view progId);

  bool IsEmpty() const { return object_ == nullptr; }
  // One more reference to the same object (copying the holder does the same).
  AutomationObject Copy() const { return *this; }
  // Releases this reference; the holder becomes empty.
  void Clear() { object_.reset(); }

  // False when the holder is empty, the member unknown or the value refused.
  bool WriteProperty(std::string_view name, const Variant& value);

  // A property, indexed ones ("Item") taking their index as the argument.
  Variant ReadProperty(std::string_view name, const Arguments& arguments = {});
  Text ReadText(std::string_view name, const Arguments& arguments = {});
  double ReadNumber(std::string_view name, const Arguments& arguments = {});
  bool ReadBool(std::string_view name, const Arguments& arguments = {});
  AutomationObject ReadObject(std::string_view name, const Arguments& arguments = {});

  // A method; the caller that wants no result ignores the returned value.
  Variant CallMethod(std::string_view name, const Arguments& arguments = {});
  Text CallText(std::string_view name, const Arguments& arguments = {});
  double CallNumber(std::string_view name, const Arguments& arguments = {});
  bool CallBool(std::string_view name, const Arguments& arguments = {});
  AutomationObject CallObject(std::string_view name, const Arguments& arguments = {});

  // Two holders of the same object compare equal.
  bool SameObject(const AutomationObject& other) const { return object_ == other.object_; }

 private:
  friend class Variant;
  std::shared_ptr<Dispatch> object_;
};

}  // namespace qp::script
