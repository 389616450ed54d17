// "VBScript.RegExp" with ECMAScript regular expressions run by the embedded
// engine: Pattern, IgnoreCase, Global, Multiline, Singleline, Execute, Test,
// Replace. Execute copies every match out of the engine into a collection
// (Count, Item) of matches (Value, FirstIndex, Length, SubMatches), so the
// collection outlives the expression and needs no engine of its own.
// FirstIndex and Length count UTF-16 units, as the platform object does.

#include <optional>
#include <vector>

#include "script/classes.h"
#include "script/engine.h"

namespace qp::script {
namespace {

// The pattern is handed over as a value and compiled with new RegExp, never
// pasted into source. An empty match moves the search on by one unit, so a
// global search always ends.
constexpr char16_t kSupportScript[] =
    u"function qp__execute(pattern, flags, subject, global) {\n"
    u"  var re = new RegExp(pattern, flags), found = [], m, i, item;\n"
    u"  while ((m = re.exec(subject)) !== null) {\n"
    u"    item = [m.index, m[0]];\n"
    u"    for (i = 1; i < m.length; i++) item.push(m[i]);\n"
    u"    found.push(item);\n"
    u"    if (!global) break;\n"
    u"    if (m[0].length === 0) re.lastIndex++;\n"
    u"  }\n"
    u"  return found;\n"
    u"}\n"
    u"function qp__test(pattern, flags, subject) {\n"
    u"  return new RegExp(pattern, flags).test(subject);\n"
    u"}\n"
    u"function qp__replace(pattern, flags, subject, replacement) {\n"
    u"  return subject.replace(new RegExp(pattern, flags), replacement);\n"
    u"}\n";

struct Match {
  Text value;
  double firstIndex = 0;
  double length = 0;
  std::vector<std::optional<Text>> groups;  // nullopt: the group took no part
};

class SubMatches : public Dispatch {
 public:
  SubMatches(std::shared_ptr<const std::vector<Match>> matches, std::size_t match)
      : matches_(std::move(matches)), match_(match) {}

  bool Invoke(Access access, std::string_view name, std::span<const Variant> arguments,
              Variant* result) override {
    if (access == Access::kPut)
      return false;
    const auto& groups = (*matches_)[match_].groups;
    if (SameName(name, "Count")) {
      *result = Variant(static_cast<double>(groups.size()));
      return true;
    }
    if (SameName(name, "Item") && arguments.size() == 1) {
      double index = arguments[0].AsNumber();
      if (!(index >= 0 && index < static_cast<double>(groups.size())))
        return false;
      const auto& group = groups[static_cast<std::size_t>(index)];
      *result = group ? Variant(*group) : Variant();
      return true;
    }
    return false;
  }

 private:
  std::shared_ptr<const std::vector<Match>> matches_;
  std::size_t match_;
};

class MatchObject : public Dispatch {
 public:
  MatchObject(std::shared_ptr<const std::vector<Match>> matches, std::size_t match)
      : matches_(std::move(matches)), match_(match) {}

  bool Invoke(Access access, std::string_view name, std::span<const Variant>,
              Variant* result) override {
    if (access == Access::kPut)
      return false;
    const Match& match = (*matches_)[match_];
    if (SameName(name, "Value"))
      *result = Variant(match.value);
    else if (SameName(name, "FirstIndex"))
      *result = Variant(match.firstIndex);
    else if (SameName(name, "Length"))
      *result = Variant(match.length);
    else if (SameName(name, "SubMatches"))
      *result = Variant(AutomationObject(std::make_shared<SubMatches>(matches_, match_)));
    else
      return false;
    return true;
  }

 private:
  std::shared_ptr<const std::vector<Match>> matches_;
  std::size_t match_;
};

class MatchCollection : public Dispatch {
 public:
  explicit MatchCollection(std::shared_ptr<const std::vector<Match>> matches)
      : matches_(std::move(matches)) {}

  bool Invoke(Access access, std::string_view name, std::span<const Variant> arguments,
              Variant* result) override {
    if (access == Access::kPut)
      return false;
    if (SameName(name, "Count")) {
      *result = Variant(static_cast<double>(matches_->size()));
      return true;
    }
    if (SameName(name, "Item") && arguments.size() == 1) {
      double index = arguments[0].AsNumber();
      if (!(index >= 0 && index < static_cast<double>(matches_->size())))
        return false;
      *result = Variant(AutomationObject(
          std::make_shared<MatchObject>(matches_, static_cast<std::size_t>(index))));
      return true;
    }
    return false;
  }

 private:
  std::shared_ptr<const std::vector<Match>> matches_;
};

class RegExp : public Dispatch {
 public:
  bool Invoke(Access access, std::string_view name, std::span<const Variant> arguments,
              Variant* result) override {
    if (access == Access::kPut) {
      const Variant& value = arguments[0];
      if (SameName(name, "Pattern"))
        pattern_ = value.AsText();
      else if (SameName(name, "IgnoreCase"))
        ignoreCase_ = value.AsBool();
      else if (SameName(name, "Global"))
        global_ = value.AsBool();
      else if (SameName(name, "Multiline"))
        multiline_ = value.AsBool();
      else if (SameName(name, "Singleline"))
        singleline_ = value.AsBool();  // kept only: the engine has no such mode
      else
        return false;
      return true;
    }
    if (SameName(name, "Pattern"))
      *result = Variant(pattern_);
    else if (SameName(name, "IgnoreCase"))
      *result = Variant(ignoreCase_);
    else if (SameName(name, "Global"))
      *result = Variant(global_);
    else if (SameName(name, "Multiline"))
      *result = Variant(multiline_);
    else if (SameName(name, "Singleline"))
      *result = Variant(singleline_);
    else if (SameName(name, "Execute") && arguments.size() == 1)
      return Execute(arguments[0], result);
    else if (SameName(name, "Test") && arguments.size() == 1)
      return CallSupport("qp__test", {arguments[0]}, result);
    else if (SameName(name, "Replace") && arguments.size() == 2)
      return CallSupport("qp__replace", {arguments[0], arguments[1]}, result);
    else
      return false;
    return true;
  }

 private:
  bool Ready() {
    if (!engine_) {
      engine_ = Engine::Create();
      if (!engine_ || !engine_->Execute(kSupportScript)) {
        engine_.reset();
        return false;
      }
    }
    return !engine_->broken();
  }

  // The pattern, its flags and the texts, as the support functions take them.
  std::vector<ScriptValue> Arguments(bool global, std::initializer_list<Variant> texts) const {
    std::u16string flags;
    if (global)
      flags += u'g';
    if (ignoreCase_)
      flags += u'i';
    if (multiline_)
      flags += u'm';
    std::vector<ScriptValue> values = {ScriptValue::String(ToUnits(pattern_)),
                                       ScriptValue::String(flags)};
    for (const Variant& text : texts)
      values.push_back(ScriptValue::String(ToUnits(text.AsText())));
    return values;
  }

  bool CallSupport(const char* function, std::initializer_list<Variant> texts, Variant* result) {
    ScriptValue value;
    if (!Ready() || !engine_->Call(function, Arguments(global_, texts), &value))
      return false;
    if (value.kind == ScriptValue::Kind::kBool)
      *result = Variant(value.flag);
    else if (value.kind == ScriptValue::Kind::kString)
      *result = Variant(FromUnits(value.text));
    else
      return false;
    return true;
  }

  bool Execute(const Variant& subject, Variant* result) {
    // The engine searches with the "g" flag either way, so that exec moves on;
    // the last argument says whether to stop after the first match.
    std::vector<ScriptValue> values = Arguments(true, {subject});
    values.push_back(ScriptValue::Bool(global_));
    ScriptValue found;
    if (!Ready() || !engine_->Call("qp__execute", values, &found, true) ||
        found.kind != ScriptValue::Kind::kArray)
      return false;
    auto matches = std::make_shared<std::vector<Match>>();
    matches->reserve(found.items.size());
    for (const ScriptValue& item : found.items) {
      if (item.kind != ScriptValue::Kind::kArray || item.items.size() < 2 ||
          item.items[1].kind != ScriptValue::Kind::kString)
        return false;
      Match match;
      match.firstIndex = item.items[0].number;
      match.length = static_cast<double>(item.items[1].text.size());
      match.value = FromUnits(item.items[1].text);
      for (std::size_t i = 2; i < item.items.size(); ++i) {
        if (item.items[i].kind == ScriptValue::Kind::kString)
          match.groups.emplace_back(FromUnits(item.items[i].text));
        else
          match.groups.emplace_back(std::nullopt);
      }
      matches->push_back(std::move(match));
    }
    *result = Variant(AutomationObject(std::make_shared<MatchCollection>(std::move(matches))));
    return true;
  }

  Text pattern_;
  bool ignoreCase_ = false;
  bool global_ = false;
  bool multiline_ = false;
  bool singleline_ = false;
  std::unique_ptr<Engine> engine_;
};

}  // namespace

std::shared_ptr<Dispatch> CreateRegExp() {
  return std::make_shared<RegExp>();
}

}  // namespace qp::script
