#include "script/engine.h"

#include <duktape.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qp::script {

// Duktape asks this between bytecode instructions (the build turns the check
// on in its configuration); true ends the running script with a RangeError,
// and keeps ending any catch block that tries to carry on.
int TimeoutCheck(void* udata) {
  auto* engine = static_cast<Engine*>(udata);
  return engine && engine->running_ && std::chrono::steady_clock::now() >= engine->deadline_;
}

}  // namespace qp::script

extern "C" int qp_duk_exec_timeout_check(void* udata) {
  return qp::script::TimeoutCheck(udata);
}

namespace qp::script {

// Every allocation carries a header that links it into the heap's list, so the
// cap can count bytes and an abandoned heap can still be freed whole.
struct alignas(16) Engine::Block {
  Block* previous;
  Block* next;
  std::size_t size;
};

// Which entry a protected run performs, with its inputs already in engine
// form. Plain data: an engine error unwinds over it with longjmp.
struct Engine::Request {
  enum class Op { kExecute, kEvaluate, kCall, kFatal } op;
  const std::string* source;     // kExecute, kEvaluate
  const std::string* name;       // kCall
  const ScriptValue* arguments;  // kCall
  std::size_t argumentCount;
  std::vector<std::string>* argumentStrings;  // the string arguments in engine form
  ScriptValue* result;
  bool collectArrays;
};

std::string ToEngineString(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (char16_t unit : units) {
    if (unit < 0x80) {
      out.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
      out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
      out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
  }
  return out;
}

std::u16string FromEngineString(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 0;
    std::uint32_t code = length == 1   ? lead
                         : length == 2 ? lead & 0x1F
                         : length == 3 ? lead & 0x0F
                                       : lead & 0x07;
    bool ok = length != 0 && i + length <= bytes.size();
    for (std::size_t k = 1; ok && k < length; ++k) {
      const auto trail = static_cast<unsigned char>(bytes[i + k]);
      ok = (trail & 0xC0) == 0x80;
      code = (code << 6) | (trail & 0x3F);
    }
    if (!ok || code > 0x10FFFF) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return out;
}

namespace {

// Results the program reads are small; a bigger array is refused rather than
// copied out at a size the engine's memory cap no longer bounds.
constexpr duk_uarridx_t kMaxCollectedItems = 1u << 16;
constexpr int kMaxCollectDepth = 8;

// Copies the value at `index` out of the engine. Runs inside the protected
// call with only plain locals, since an engine error unwinds with longjmp.
void Collect(duk_context* ctx, duk_idx_t index, ScriptValue* out, bool arrays, int depth) {
  index = duk_normalize_index(ctx, index);
  switch (duk_get_type(ctx, index)) {
    case DUK_TYPE_NULL:
      out->kind = ScriptValue::Kind::kNull;
      return;
    case DUK_TYPE_BOOLEAN:
      out->kind = ScriptValue::Kind::kBool;
      out->flag = duk_get_boolean(ctx, index);
      return;
    case DUK_TYPE_NUMBER:
      out->kind = ScriptValue::Kind::kNumber;
      out->number = duk_get_number(ctx, index);
      return;
    case DUK_TYPE_STRING: {
      if (duk_is_symbol(ctx, index))
        return;  // stays undefined
      duk_size_t length = 0;
      const char* bytes = duk_get_lstring(ctx, index, &length);
      out->kind = ScriptValue::Kind::kString;
      out->text = FromEngineString(std::string_view(bytes, length));
      return;
    }
    case DUK_TYPE_OBJECT:
      out->kind = ScriptValue::Kind::kObject;
      if (arrays && depth < kMaxCollectDepth && duk_is_array(ctx, index)) {
        out->kind = ScriptValue::Kind::kArray;
        duk_size_t count = duk_get_length(ctx, index);
        if (count > kMaxCollectedItems)
          (void)duk_range_error(ctx, "array too long to return");
        out->items.resize(count);
        for (duk_uarridx_t i = 0; i < count; ++i) {
          duk_get_prop_index(ctx, index, i);
          Collect(ctx, -1, &out->items[i], arrays, depth + 1);
          duk_pop(ctx);
        }
      }
      return;
    case DUK_TYPE_BUFFER:
    case DUK_TYPE_POINTER:
    case DUK_TYPE_LIGHTFUNC:
      out->kind = ScriptValue::Kind::kObject;
      return;
    default:
      return;  // undefined
  }
}

}  // namespace

Engine::Engine(std::size_t memoryLimit) : limit_(memoryLimit) {}

std::unique_ptr<Engine> Engine::Create(std::size_t memoryLimit) {
  std::unique_ptr<Engine> engine(new (std::nothrow) Engine(memoryLimit));
  if (!engine)
    return nullptr;
  Engine* self = engine.get();
  self->armed_ = true;
  if (setjmp(self->fatalJump_) == 0) {
    self->ctx_ = duk_create_heap(&Engine::Allocate, &Engine::Reallocate, &Engine::Free, self,
                                 &Engine::Fatal);
  } else {
    self->broken_ = true;
  }
  self->armed_ = false;
  if (!self->ctx_ || self->broken_)
    return nullptr;  // the destructor frees what a broken creation left
  return engine;
}

Engine::~Engine() {
  if (ctx_ && !broken_) {
    armed_ = true;
    if (setjmp(fatalJump_) == 0)
      duk_destroy_heap(ctx_);
    else
      broken_ = true;
    armed_ = false;
  }
  // After a fatal error the heap's own structures can't be trusted; free its
  // memory block by block instead of walking them.
  FreeAllBlocks();
}

void Engine::FreeAllBlocks() {
  while (blocks_) {
    Block* block = blocks_;
    blocks_ = block->next;
    std::free(block);
  }
  used_ = 0;
}

void* Engine::Allocate(void* udata, std::size_t size) {
  auto* self = static_cast<Engine*>(udata);
  if (size == 0 || size > self->limit_ - self->used_)
    return nullptr;
  auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
  if (!block)
    return nullptr;
  block->previous = nullptr;
  block->next = self->blocks_;
  block->size = size;
  if (self->blocks_)
    self->blocks_->previous = block;
  self->blocks_ = block;
  self->used_ += size;
  return block + 1;
}

void Engine::Free(void* udata, void* pointer) {
  if (!pointer)
    return;
  auto* self = static_cast<Engine*>(udata);
  Block* block = static_cast<Block*>(pointer) - 1;
  if (block->previous)
    block->previous->next = block->next;
  else
    self->blocks_ = block->next;
  if (block->next)
    block->next->previous = block->previous;
  self->used_ -= block->size;
  std::free(block);
}

void* Engine::Reallocate(void* udata, void* pointer, std::size_t size) {
  if (!pointer)
    return Allocate(udata, size);
  if (size == 0) {
    Free(udata, pointer);
    return nullptr;
  }
  auto* self = static_cast<Engine*>(udata);
  Block* block = static_cast<Block*>(pointer) - 1;
  if (size > block->size && size - block->size > self->limit_ - self->used_)
    return nullptr;
  void* moved = Allocate(udata, size);
  if (!moved) {
    // Over the cap only because both copies count at once: shrinking or a
    // small growth in place is still fine.
    if (size <= block->size)
      return pointer;
    return nullptr;
  }
  std::memcpy(moved, pointer, std::min(size, block->size));
  Free(udata, pointer);
  return moved;
}

void Engine::Fatal(void* udata, const char* /*message*/) {
  auto* self = static_cast<Engine*>(udata);
  if (self && self->armed_)
    std::longjmp(self->fatalJump_, 1);
  // Every call into the engine is armed, so this is unreachable; a fatal
  // handler must not return.
  std::abort();
}

int Engine::ProtectedRun(duk_hthread* ctx, void* udata) {
  auto* request = static_cast<Request*>(udata);
  switch (request->op) {
    case Request::Op::kExecute:
    case Request::Op::kEvaluate: {
      duk_push_lstring(ctx, request->source->data(), request->source->size());
      duk_push_string(ctx, request->op == Request::Op::kEvaluate ? "eval" : "code");
      duk_compile(ctx, request->op == Request::Op::kEvaluate ? DUK_COMPILE_EVAL : 0);
      duk_call(ctx, 0);
      break;
    }
    case Request::Op::kFatal:
      duk_fatal(ctx, "injected fault");
      break;
    case Request::Op::kCall: {
      duk_push_global_object(ctx);
      duk_get_prop_lstring(ctx, -1, request->name->data(), request->name->size());
      if (!duk_is_callable(ctx, -1))
        (void)duk_type_error(ctx, "not a function");
      std::size_t nextString = 0;
      for (std::size_t i = 0; i < request->argumentCount; ++i) {
        const ScriptValue& argument = request->arguments[i];
        switch (argument.kind) {
          case ScriptValue::Kind::kNull:
            duk_push_null(ctx);
            break;
          case ScriptValue::Kind::kBool:
            duk_push_boolean(ctx, argument.flag);
            break;
          case ScriptValue::Kind::kNumber:
            duk_push_number(ctx, argument.number);
            break;
          case ScriptValue::Kind::kString: {
            const std::string& bytes = (*request->argumentStrings)[nextString++];
            duk_push_lstring(ctx, bytes.data(), bytes.size());
            break;
          }
          default:
            duk_push_undefined(ctx);
            break;
        }
      }
      duk_call(ctx, static_cast<duk_idx_t>(request->argumentCount));
      break;
    }
  }
  if (request->result)
    Collect(ctx, -1, request->result, request->collectArrays, 0);
  return 1;
}

bool Engine::Run(Request* request) {
  if (broken_ || !ctx_)
    return false;
  deadline_ = std::chrono::steady_clock::now() + timeLimit_;
  running_ = true;
  armed_ = true;
  // Set only after the protected call returns; volatile because a fatal
  // error comes back through longjmp.
  volatile int rc = DUK_EXEC_ERROR;
  if (setjmp(fatalJump_) == 0) {
    rc = duk_safe_call(ctx_, &Engine::ProtectedRun, request, 0, 1);
    duk_set_top(ctx_, 0);
  } else {
    broken_ = true;
  }
  armed_ = false;
  running_ = false;
  if (rc != DUK_EXEC_SUCCESS && request->result)
    *request->result = ScriptValue();
  return rc == DUK_EXEC_SUCCESS && !broken_;
}

bool Engine::Execute(std::u16string_view source) {
  if (source.size() > limit_)
    return false;
  std::string bytes = ToEngineString(source);
  Request request{Request::Op::kExecute, &bytes, nullptr, nullptr, 0, nullptr, nullptr, false};
  return Run(&request);
}

bool Engine::Evaluate(std::u16string_view source, ScriptValue* result, bool collectArrays) {
  if (source.size() > limit_)
    return false;
  std::string bytes = ToEngineString(source);
  ScriptValue ignored;
  Request request{Request::Op::kEvaluate,     &bytes,       nullptr, nullptr, 0, nullptr,
                  result ? result : &ignored, collectArrays};
  return Run(&request);
}

bool Engine::Call(std::string_view name, std::span<const ScriptValue> arguments,
                  ScriptValue* result, bool collectArrays) {
  std::string nameBytes(name);
  std::vector<std::string> strings;
  std::size_t total = 0;
  for (const ScriptValue& argument : arguments) {
    if (argument.kind != ScriptValue::Kind::kString)
      continue;
    total += argument.text.size();
    if (total > limit_)
      return false;
    strings.push_back(ToEngineString(argument.text));
  }
  ScriptValue ignored;
  Request request{Request::Op::kCall,         nullptr,          &nameBytes,
                  arguments.data(),           arguments.size(), &strings,
                  result ? result : &ignored, collectArrays};
  return Run(&request);
}

bool Engine::InjectFatalError() {
  Request request{Request::Op::kFatal, nullptr, nullptr, nullptr, 0, nullptr, nullptr, false};
  Run(&request);
  return broken_;
}

}  // namespace qp::script
