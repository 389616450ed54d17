#include "script/json_document.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/text_find.h"

namespace qp::script {
namespace {

// Every document must give back the COM initialisation it took.
class JsonDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { comBefore_ = com::InitializeCount(); }
  void TearDown() override { EXPECT_EQ(com::InitializeCount(), comBefore_); }

 private:
  int comBefore_ = 0;
};

TEST_F(JsonDocumentTest, ReadsWhatTheServiceAnswers) {
  static const struct {
    const char* json;
    const char* path;
    const char* text;
  } cases[] = {
      {R"({"zt":1,"info":"上传成功","text":[{"id":"123","f_id":"x"}]})", "text[0].id", "123"},
      {R"({"zt":1,"info":{"f_id":"abc","is_newd":"https://x"}})", "info['f_id']", "abc"},
      {R"({"info":{"f_id":"abc"}})", "da.info.f_id", "abc"},
      {"[\"a\",\"b\"]", "[1]", "b"},
      // Raw line breaks inside a string value still parse.
      {"{\"m\":\"one\r\ntwo\"}", "m", "one\r\ntwo"},
      {"{\"m\":\"tab\there\"}", "m", "tab\there"},
      // Pretty-printed answers parse too.
      {"{\r\n  \"info\": {\r\n    \"f_id\": \"abc\"\r\n  }\r\n}\n", "info.f_id", "abc"},
      {R"({"name":"中文\"q\" \\ \/"})", "name", "中文\"q\" \\ /"},
      {R"({"id":5})", "id", ""},  // a number is no text
      {R"({"id":5})", "missing", ""},
      {R"({"data":"d"})", "data", "d"},  // begins with the variable's name
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      JsonDocument document;
      EXPECT_TRUE(document.Parse(codepage::SystemText(c.json))) << codePage << " " << c.json;
      EXPECT_EQ(document.GetText(c.path), codepage::SystemText(c.text))
          << codePage << " " << c.json;
    }
  }
}

TEST_F(JsonDocumentTest, ParseResultAndKind) {
  static const struct {
    const char* json;
    bool parsed;
    int type;  // TypeOf of the whole document afterwards
  } cases[] = {
      {"{}", true, 4},
      {"[1,2]", true, 5},
      {"123", true, 2},
      {"\"abc\"", true, 6},  // a JSON string is a value, not a name to look up
      {"true", true, 1},
      {"null", false, 0},
      {"", false, 0},
      {"abc", false, 0},
      {"{'a':1}", false, 0},  // script, not JSON
      {"{\"a\":1", false, 0},
      {"{\"a\":1} trailing", false, 0},
  };
  for (const auto& c : cases) {
    JsonDocument document;
    EXPECT_EQ(document.Parse(c.json), c.parsed) << c.json;
    EXPECT_EQ(document.TypeOf(), c.type) << c.json;
  }
}

// An answer is data: nothing in it runs, however it is written.
TEST_F(JsonDocumentTest, HostileAnswersNeitherRunNorHang) {
  std::string deep(100000, '[');
  deep += std::string(100000, ']');
  std::string huge = "{\"a\":\"" + std::string(50u << 20, 'x') + "\"}";
  // Small enough to be taken, too many values to fit the engine's memory.
  std::string crowded = "[";
  for (int i = 0; i < 3000000; ++i)
    crowded += "{},";
  crowded += "{}]";
  static const char* const scripts[] = {
      R"({"id":(function(){while(true){}})()})",
      "(function(){while(true){}})()",
      "while(true){}",
      R"({"id":"1"}; da.x = 1)",
  };
  const auto start = std::chrono::steady_clock::now();
  for (const char* script : scripts) {
    JsonDocument document;
    EXPECT_FALSE(document.Parse(script)) << script;
    EXPECT_EQ(document.ToText(), "null") << script;
  }
  for (const std::string* text : {&deep, &huge, &crowded}) {
    JsonDocument document;
    EXPECT_FALSE(document.Parse(*text)) << text->size();
    EXPECT_EQ(document.GetText("a"), "");
    // The document is still usable afterwards.
    EXPECT_TRUE(document.Parse(R"({"a":"ok"})"));
    EXPECT_EQ(document.GetText("a"), "ok");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(JsonDocumentTest, NumbersAndJsonForms) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"id":5,"t":"7","f":1.5,"o":{"a":[1,"x",null]}})"));
  EXPECT_EQ(document.GetText("id"), "");
  EXPECT_EQ(document.GetText("id", true), "5");
  EXPECT_EQ(document.GetNumber("id"), 5);
  EXPECT_EQ(document.GetNumber("t"), 7);  // a text holding a number converts
  EXPECT_EQ(document.GetNumber("f"), 1.5);
  EXPECT_EQ(document.GetNumber("o"), 0);
  EXPECT_EQ(document.GetNumber("missing.x"), 0);
  EXPECT_EQ(document.GetJson("o"), R"({"a":[1,"x",null]})");
  EXPECT_EQ(document.GetElementText(1, "o.a"), "x");
  EXPECT_EQ(document.GetElementText(0, "o.a"), "");
  EXPECT_EQ(document.GetElementText(0, "o.a", true), "1");
  EXPECT_EQ(document.GetElementText(9, "o.a", true), "");
  EXPECT_EQ(document.ToText(), R"({"id":5,"t":"7","f":1.5,"o":{"a":[1,"x",null]}})");
}

TEST_F(JsonDocumentTest, ResolvePathRewritesRelativePaths) {
  static const struct {
    const char* path;
    const char* resolved;
    bool present;
  } cases[] = {
      {"", "da", true},
      {"info", "da.info", true},
      {"[0]", "da[0]", false},
      {"da.info", "da.info", true},
      {"info.f_id", "da.info.f_id", true},
      {"data", "da.data", false},
      {"nope.deeper", "da.nope.deeper", false},
      {"da.nope", "da.da.nope", false},
  };
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"info":{"f_id":"x"}})"));
  for (const auto& c : cases) {
    Text path = c.path;
    EXPECT_EQ(document.ResolvePath(&path), c.present) << c.path;
    EXPECT_EQ(path, c.resolved) << c.path;
  }
  EXPECT_FALSE(document.ResolvePath(nullptr));
}

TEST_F(JsonDocumentTest, TypeOfAndCounts) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"s":"x","n":1,"b":false,"a":[1,2,3],"o":{},"z":null})"));
  static const struct {
    const char* path;
    int type;
    int count;
  } cases[] = {
      {"s", 6, 0}, {"n", 2, 0}, {"b", 1, 0},       {"a", 5, 3},
      {"o", 4, 0}, {"z", 0, 0}, {"missing", 0, 0}, {"missing.x", -1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(document.TypeOf(c.path), c.type) << c.path;
    EXPECT_EQ(document.GetCount(c.path), c.count) << c.path;
  }
}

TEST_F(JsonDocumentTest, GetKeysListsMemberNames) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":1,"b":{"c":2},"中":3})"));
  std::vector<Text> names = {"stale"};
  EXPECT_EQ(document.GetKeys(&names), 3);
  EXPECT_EQ(names, (std::vector<Text>{"a", "b", "中"}));
  EXPECT_EQ(document.GetKeys(&names, "b"), 1);
  EXPECT_EQ(names, std::vector<Text>{"c"});
  ASSERT_TRUE(document.Parse("[1,2]"));
  EXPECT_EQ(document.GetKeys(&names), 0);
  EXPECT_TRUE(names.empty());
}

TEST_F(JsonDocumentTest, SetValueKeepsBackslashesAndQuotes) {
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    static const struct {
      const char* value;
      const char* json;  // ToText of {p: value}
    } cases[] = {
        {"C:\\dir", R"({"p":"C:\dir"})"},
        {"It's", R"({"p":"It's"})"},
        {"say \"hi\"", R"({"p":"say \"hi\""})"},
        {"two\r\nlines", R"({"p":"two\r\nlines"})"},
        {"", R"({"p":""})"},
        // 表 ends in the byte of a backslash in GBK; it must stay one character.
        {"表\\中", R"({"p":"表\中"})"},
    };
    for (const auto& c : cases) {
      JsonDocument document;
      const Text value = codepage::SystemText(c.value);
      EXPECT_TRUE(document.SetValue("p", value)) << c.value;
      EXPECT_EQ(document.GetText("p"), value) << c.value;
      EXPECT_EQ(document.ToText(), codepage::SystemText(c.json)) << c.value;
      // A copy made through GetObject keeps the text intact.
      EXPECT_EQ(document.GetObject().GetText("p"), value) << c.value;
    }
  }
}

TEST_F(JsonDocumentTest, SetValueNeedsTheParent) {
  JsonDocument document;
  EXPECT_FALSE(document.SetValue("a.b", "x"));
  EXPECT_EQ(document.ToText(), "{}");
  EXPECT_TRUE(document.SetValue("a", "x"));
  EXPECT_EQ(document.ToText(), R"({"a":"x"})");
}

TEST_F(JsonDocumentTest, SetValueAsJsonAssignsOrMerges) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"o":{"a":1,"b":"x","c":{"d":1},"n":null},"l":[1]})"));
  EXPECT_TRUE(document.SetValue("o", R"({"a":2,"b":"y","c":{"e":2},"n":{"k":1},"z":true})", true));
  EXPECT_EQ(document.GetJson("o"), R"({"a":2,"b":"y","c":{"d":1,"e":2},"n":{"k":1},"z":true})");
  EXPECT_TRUE(document.SetValue("l", "[2,3]", true));
  EXPECT_EQ(document.GetJson("l"), "[1,2,3]");
  EXPECT_TRUE(document.SetValue("fresh", R"({"k":[1]})", true));
  EXPECT_EQ(document.GetJson("fresh"), R"({"k":[1]})");
  EXPECT_TRUE(document.AssignJson("o", "[true]"));
  EXPECT_EQ(document.GetJson("o"), "[true]");
  EXPECT_FALSE(document.AssignJson("o", "{"));
}

TEST_F(JsonDocumentTest, ArrayOperations) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":[1,2,3]})"));
  EXPECT_TRUE(document.RemoveElement(0, "a"));
  EXPECT_EQ(document.GetJson("a"), "[2,3]");
  EXPECT_TRUE(document.Append("It's", "a"));  // texts are quoted whole
  EXPECT_TRUE(document.Append("{\"k\":1}", "a", true));
  EXPECT_EQ(document.GetJson("a"), R"([2,3,"It's",{"k":1}])");
  EXPECT_TRUE(document.Append("x", "b"));  // no array yet: one is made
  EXPECT_EQ(document.GetJson("b"), R"(["x"])");
  EXPECT_TRUE(document.SetElement(0, "b", "C:\\d"));
  EXPECT_EQ(document.GetElementText(0, "b"), "C:\\d");
  EXPECT_TRUE(document.SetElement(1, "b", "7", true));
  EXPECT_EQ(document.GetJson("b"), R"(["C:\\d",7])");
  EXPECT_EQ(document.GetElementObject(3, "a").GetNumber("k"), 1);
  EXPECT_FALSE(document.Append("x", "nope.deeper"));
}

TEST_F(JsonDocumentTest, ChangesAndDeletes) {
  JsonDocument document;
  EXPECT_TRUE(document.SetNumber("n", 0));  // a zero assigned is still a success
  EXPECT_TRUE(document.SetNumber("m", -2.5));
  EXPECT_EQ(document.ToText(), R"({"n":0,"m":-2.5})");
  EXPECT_TRUE(document.Delete("n"));
  EXPECT_TRUE(document.Delete("never"));
  EXPECT_FALSE(document.Delete("never.deeper"));
  EXPECT_EQ(document.ToText(), R"({"m":-2.5})");
  EXPECT_TRUE(document.Clear());
  EXPECT_EQ(document.ToText(), "{}");
}

TEST_F(JsonDocumentTest, CopySharesTheEngineUntilParse) {
  JsonDocument document;
  JsonDocument copy = document.Copy();
  EXPECT_TRUE(copy.GetEngine().SameObject(document.GetEngine()));
  EXPECT_TRUE(document.SetValue("a", "1"));
  EXPECT_EQ(copy.GetText("a"), "1");
  EXPECT_TRUE(copy.Parse(R"({"a":"2"})"));
  EXPECT_EQ(document.GetText("a"), "1");
  EXPECT_EQ(copy.GetText("a"), "2");
  EXPECT_FALSE(copy.GetEngine().SameObject(document.GetEngine()));
}

TEST_F(JsonDocumentTest, SupportScriptMembersStayOutOfTheData) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"a":{"b":1}})"));
  AutomationObject engine = document.GetEngine();
  EXPECT_EQ(engine.CallText("Eval", {"da.a.toJSONString()"}), R"({"b":1})");
  EXPECT_EQ(engine.CallNumber("Eval", {"'{\"c\":3}'.parseJSON().c"}), 3);
  EXPECT_EQ(engine.CallText("Eval", {"Object.keys(da).join()"}), "a");
  std::vector<Text> names;
  EXPECT_EQ(document.GetKeys(&names, "a"), 1);
}

}  // namespace
}  // namespace qp::script
