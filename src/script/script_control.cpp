// "MSScriptControl.ScriptControl" / "ScriptControl": a JavaScript engine of its
// own per instance, with the members the program uses: Language, AddCode,
// ExecuteStatement, Eval, Run, plus Timeout (milliseconds) and Reset.

#include <algorithm>
#include <chrono>

#include "script/classes.h"
#include "script/engine.h"

namespace qp::script {
namespace {

class ScriptControl : public Dispatch {
 public:
  bool Invoke(Access access, std::string_view name, std::span<const Variant> arguments,
              Variant* result) override {
    if (SameName(name, "Language"))
      return access == Access::kPut ? SetLanguage(arguments[0]) : Get(Variant(language_), result);
    if (SameName(name, "Timeout"))
      return access == Access::kPut ? SetTimeout(arguments[0])
                                    : Get(Variant(static_cast<double>(timeout_.count())), result);
    if (access == Access::kPut)
      return false;
    if (SameName(name, "Reset")) {
      engine_.reset();
      return true;
    }
    if (SameName(name, "AddCode") || SameName(name, "ExecuteStatement"))
      return arguments.size() == 1 && IsText(arguments[0]) && Ready() &&
             engine_->Execute(ToUnits(*arguments[0].IfText()));
    if (SameName(name, "Eval")) {
      ScriptValue value;
      if (arguments.size() != 1 || !IsText(arguments[0]) || !Ready() ||
          !engine_->Evaluate(ToUnits(*arguments[0].IfText()), &value))
        return false;
      return Get(ToVariant(value), result);
    }
    if (SameName(name, "Run"))
      return RunProcedure(arguments, result);
    return false;
  }

 private:
  static bool IsText(const Variant& value) {
    return value.IfText() && value.IfText()->size() <= kMaxScriptTextSize;
  }

  static bool Get(Variant value, Variant* result) {
    *result = std::move(value);
    return true;
  }

  bool SetLanguage(const Variant& value) {
    Text language = value.AsText();
    if (!SameName(language, "JavaScript") && !SameName(language, "JScript"))
      return false;
    // A new language starts a new engine, as the control resets on it.
    language_ = language;
    engine_.reset();
    return true;
  }

  bool SetTimeout(const Variant& value) {
    if (value.kind() != Variant::Kind::kNumber || !(value.AsNumber() >= 1))
      return false;  // no "never": an engine must always end
    timeout_ = std::chrono::milliseconds(
        static_cast<long long>(std::min(value.AsNumber(), static_cast<double>(24 * 3600 * 1000))));
    if (engine_)
      engine_->SetTimeLimit(timeout_);
    return true;
  }

  // Script runs only once a language is set; the engine starts on first use.
  bool Ready() {
    if (language_.empty())
      return false;
    if (!engine_) {
      engine_ = Engine::Create();
      if (!engine_)
        return false;
      engine_->SetTimeLimit(timeout_);
    }
    return !engine_->broken();
  }

  static bool ToScriptValue(const Variant& value, ScriptValue* out) {
    switch (value.kind()) {
      case Variant::Kind::kEmpty:
        *out = ScriptValue();
        return true;
      case Variant::Kind::kText:
        if (value.IfText()->size() > kMaxScriptTextSize)
          return false;
        *out = ScriptValue::String(ToUnits(value.AsText()));
        return true;
      case Variant::Kind::kNumber:
        *out = ScriptValue::Number(value.AsNumber());
        return true;
      case Variant::Kind::kBool:
        *out = ScriptValue::Bool(value.AsBool());
        return true;
      default:
        return false;  // byte arrays and objects do not cross into script
    }
  }

  // Objects stay inside the engine: they come back empty.
  static Variant ToVariant(const ScriptValue& value) {
    switch (value.kind) {
      case ScriptValue::Kind::kBool:
        return Variant(value.flag);
      case ScriptValue::Kind::kNumber:
        return Variant(value.number);
      case ScriptValue::Kind::kString:
        return Variant(FromUnits(value.text));
      default:
        return Variant();
    }
  }

  bool RunProcedure(std::span<const Variant> arguments, Variant* result) {
    if (arguments.empty() || !IsText(arguments[0]) || !Ready())
      return false;
    std::vector<ScriptValue> values(arguments.size() - 1);
    for (std::size_t i = 1; i < arguments.size(); ++i) {
      if (!ToScriptValue(arguments[i], &values[i - 1]))
        return false;
    }
    ScriptValue value;
    if (!engine_->Call(ToEngineString(ToUnits(*arguments[0].IfText())), values, &value))
      return false;
    return Get(ToVariant(value), result);
  }

  Text language_;
  std::chrono::milliseconds timeout_ = Engine::kDefaultTimeLimit;
  std::unique_ptr<Engine> engine_;
};

}  // namespace

std::shared_ptr<Dispatch> CreateScriptControl() {
  return std::make_shared<ScriptControl>();
}

}  // namespace qp::script
