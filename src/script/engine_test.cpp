#include "script/engine.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qp::script {
namespace {

TEST(EngineTest, StringsRoundTripThroughTheEngineForm) {
  static const struct {
    std::u16string units;
    std::string engineForm;
  } cases[] = {
      {u"", ""},
      {u"a", "a"},
      {std::u16string(1, u'\0'), std::string(1, '\0')},
      {u"\u00e9", "\xC3\xA9"},
      {u"\u4e2d", "\xE4\xB8\xAD"},
      {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},  // each surrogate on its own
      {u"\xD83D", "\xED\xA0\xBD"},                  // a lone surrogate survives
  };
  for (const auto& c : cases) {
    const std::string form = ToEngineString(c.units);
    EXPECT_EQ(form, c.engineForm);
    EXPECT_EQ(FromEngineString(form), c.units);
  }
  // What the engine may hand back besides its own form.
  static const struct {
    const char* bytes;
    std::u16string units;
  } incoming[] = {
      {"\xF0\x9F\x98\x80", u"\U0001F600"},  // four-byte UTF-8
      {"\xFF", u"\uFFFD"},
      {"\xE4\xB8", u"\uFFFD\uFFFD"},  // cut short
      {"\xC3(", u"\uFFFD("},
  };
  for (const auto& c : incoming)
    EXPECT_EQ(FromEngineString(c.bytes), c.units) << c.bytes;
}

TEST(EngineTest, ValuesComeBackTyped) {
  auto engine = Engine::Create();
  ASSERT_TRUE(engine);
  static const struct {
    const char16_t* source;
    ScriptValue::Kind kind;
  } cases[] = {
      {u"undefined", ScriptValue::Kind::kUndefined},
      {u"null", ScriptValue::Kind::kNull},
      {u"true", ScriptValue::Kind::kBool},
      {u"1.5", ScriptValue::Kind::kNumber},
      {u"'x'", ScriptValue::Kind::kString},
      {u"[1, [2]]", ScriptValue::Kind::kArray},
      {u"({})", ScriptValue::Kind::kObject},
      {u"Symbol('s')", ScriptValue::Kind::kUndefined},
  };
  for (const auto& c : cases) {
    ScriptValue value;
    ASSERT_TRUE(engine->Evaluate(c.source, &value, true));
    EXPECT_EQ(value.kind, c.kind);
  }
  ScriptValue nested;
  ASSERT_TRUE(engine->Evaluate(u"[1, ['a', null]]", &nested, true));
  ASSERT_EQ(nested.items.size(), 2u);
  EXPECT_EQ(nested.items[1].items[0].text, u"a");
  EXPECT_FALSE(engine->Evaluate(u"new Array(100000)", &nested, true));  // too long to copy out
}

// A fatal engine error leaves the heap for dead instead of ending the
// process; its memory is still freed (the leak checker watches).
TEST(EngineTest, FatalErrorAbandonsOnlyTheHeap) {
  auto engine = Engine::Create();
  ASSERT_TRUE(engine);
  ASSERT_TRUE(engine->Execute(u"var big = new Array(1000).join('x');"));
  EXPECT_TRUE(engine->InjectFatalError());
  EXPECT_TRUE(engine->broken());
  EXPECT_FALSE(engine->Execute(u"1"));
  ScriptValue value;
  EXPECT_FALSE(engine->Evaluate(u"1", &value));
  auto other = Engine::Create();
  ASSERT_TRUE(other);
  EXPECT_TRUE(other->Evaluate(u"1 + 1", &value));
  EXPECT_EQ(value.number, 2);
}

TEST(EngineTest, MemoryCapAndTimeLimit) {
  EXPECT_FALSE(Engine::Create(1024));  // too small to hold the built-ins
  auto engine = Engine::Create(4u << 20);
  ASSERT_TRUE(engine);
  const std::size_t idle = engine->MemoryUsed();
  EXPECT_GT(idle, 0u);
  EXPECT_FALSE(engine->Execute(u"var s = 'x'; while (true) s += s;"));
  EXPECT_LE(engine->MemoryUsed(), 4u << 20);
  EXPECT_TRUE(engine->Execute(u"var t = new Array(1e5).join('x');"));

  engine->SetTimeLimit(std::chrono::milliseconds(50));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(engine->Execute(u"for (;;) {}"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(engine->Execute(u"var after = 1;"));  // each entry gets a fresh limit
}

}  // namespace
}  // namespace qp::script
