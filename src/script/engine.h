#pragma once
// One Duktape heap, guarded for hostile input: every entry runs in a protected
// call, a memory cap makes a huge or deeply nested value fail instead of
// exhausting the process, a time limit ends script that loops forever, and a
// fatal engine error abandons the heap instead of ending the process. The
// engine has no binding to files, processes or the network.
//
// Texts cross as UTF-16 (JavaScript's own unit); callers convert from and to
// the Text code page.

#include <chrono>
#include <csetjmp>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct duk_hthread;

namespace qp::script {

// A value as it crosses into or out of the engine.
struct ScriptValue {
  enum class Kind { kUndefined, kNull, kBool, kNumber, kString, kArray, kObject };

  static ScriptValue String(std::u16string text) {
    ScriptValue value;
    value.kind = Kind::kString;
    value.text = std::move(text);
    return value;
  }
  static ScriptValue Number(double number) {
    ScriptValue value;
    value.kind = Kind::kNumber;
    value.number = number;
    return value;
  }
  static ScriptValue Bool(bool flag) {
    ScriptValue value;
    value.kind = Kind::kBool;
    value.flag = flag;
    return value;
  }

  Kind kind = Kind::kUndefined;
  bool flag = false;
  double number = 0;
  std::u16string text;
  std::vector<ScriptValue> items;  // kArray only, when the caller asked for arrays
};

class Engine {
 public:
  // What one heap may allocate: far above any answer the service sends, far
  // below what would hurt the machine.
  static constexpr std::size_t kDefaultMemoryLimit = 40u << 20;
  // How long one entry (one AddCode, Eval, Run ...) may run.
  static constexpr std::chrono::milliseconds kDefaultTimeLimit{5000};

  // Null when the heap cannot be created.
  static std::unique_ptr<Engine> Create(std::size_t memoryLimit = kDefaultMemoryLimit);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  void SetTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }
  std::chrono::milliseconds TimeLimit() const { return timeLimit_; }

  // Runs program code in the global scope; its function declarations and
  // variables become globals. False on a syntax error, an exception, the time
  // limit or the memory cap.
  bool Execute(std::u16string_view source);

  // Evaluates eval code in the global scope; `result` receives its completion
  // value (arrays collected only when `collectArrays`).
  bool Evaluate(std::u16string_view source, ScriptValue* result, bool collectArrays = false);

  // Calls the global function whose name is `name` in engine form
  // (ToEngineString).
  bool Call(std::string_view name, std::span<const ScriptValue> arguments, ScriptValue* result,
            bool collectArrays = false);

  // Fault injection for tests: raises a fatal engine error as the engine's
  // own internals would. Returns what broken() then says.
  bool InjectFatalError();

  // True once a fatal engine error abandoned the heap; every entry then fails.
  bool broken() const { return broken_; }

  // Bytes the heap holds now (for tests of the cap).
  std::size_t MemoryUsed() const { return used_; }

 private:
  struct Block;
  struct Request;

  explicit Engine(std::size_t memoryLimit);
  bool Run(Request* request);
  void FreeAllBlocks();

  static void* Allocate(void* udata, std::size_t size);
  static void* Reallocate(void* udata, void* pointer, std::size_t size);
  static void Free(void* udata, void* pointer);
  static void Fatal(void* udata, const char* message);
  static int ProtectedRun(duk_hthread* ctx, void* udata);
  friend int TimeoutCheck(void* udata);

  duk_hthread* ctx_ = nullptr;
  std::size_t limit_;
  std::size_t used_ = 0;
  Block* blocks_ = nullptr;
  std::chrono::milliseconds timeLimit_ = kDefaultTimeLimit;
  std::chrono::steady_clock::time_point deadline_{};
  bool running_ = false;
  bool armed_ = false;
  bool broken_ = false;
  std::jmp_buf fatalJump_;
};

// UTF-16 to the engine's internal form (CESU-8: every unit on its own, so
// lone surrogates survive) and back (4-byte sequences become surrogate pairs,
// broken ones U+FFFD).
std::string ToEngineString(std::u16string_view units);
std::u16string FromEngineString(std::string_view bytes);

}  // namespace qp::script
