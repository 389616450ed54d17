#include "script/automation_object.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/text_find.h"

namespace qp::script {
namespace {

// COM is initialised for the length of each test, as every caller does.
class AutomationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(com_.ok()); }
  void TearDown() override {}

  AutomationObject Make(const char* progId) {
    AutomationObject object;
    EXPECT_TRUE(object.Create(progId)) << progId;
    return object;
  }

 private:
  com::ScopedInitialize com_;
};

TEST(VariantTest, ConvertsAsAutomationDoes) {
  static const struct {
    Variant value;
    const char* text;
    double number;
    bool flag;
  } cases[] = {
      {Variant(), "", 0, false},
      {Variant("12"), "12", 12, true},
      {Variant(" 1.5 "), " 1.5 ", 1.5, true},
      {Variant("abc"), "abc", 0, false},
      {Variant("True"), "True", 0, true},
      {Variant("0"), "0", 0, false},
      {Variant(5), "5", 5, true},
      {Variant(0.1), "0.1", 0.1, true},
      {Variant(1e21), "1e+21", 1e21, true},
      {Variant(-0.0), "-0", 0, false},
      {Variant(true), "True", -1, true},
      {Variant(false), "False", 0, false},
      {Variant(Bytes{1, 2}), "", 0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.value.AsText(), c.text) << c.text;
    EXPECT_EQ(c.value.AsNumber(), c.number) << c.text;
    EXPECT_EQ(c.value.AsBool(), c.flag) << c.text;
  }
  EXPECT_EQ(Variant(Bytes{1, 2}).AsBytes(), (Bytes{1, 2}));
  EXPECT_TRUE(Variant("x").AsObject().IsEmpty());
}

TEST(AutomationObjectCreateTest, NeedsComAndAKnownClass) {
  const int before = com::InitializeCount();
  AutomationObject object;
  if (before == 0) {
    EXPECT_FALSE(object.Create("VBScript.RegExp"));  // as CoCreateInstance refuses
  }
  {
    com::ScopedInitialize com;
    static const struct {
      const char* progId;
      bool known;
    } cases[] = {
        {"VBScript.RegExp", true},
        {"vbscript.regexp", true},
        {"MSScriptControl.ScriptControl", true},
        {"ScriptControl", true},
        {"Adodb.Stream", true},
        {"ADODB.Stream", true},
        {"{00000566-0000-0010-8000-00AA006D2EA4}", true},
        {"Scripting.FileSystemObject", false},
        {"WScript.Shell", false},
        {"", false},
    };
    for (const auto& c : cases) {
      AutomationObject created;
      EXPECT_EQ(created.Create(c.progId), c.known) << c.progId;
      EXPECT_EQ(created.IsEmpty(), !c.known) << c.progId;
    }
    // A failed Create keeps what the holder had.
    ASSERT_TRUE(object.Create("Adodb.Stream"));
    AutomationObject copy = object.Copy();
    EXPECT_FALSE(object.Create("No.Such"));
    EXPECT_TRUE(object.SameObject(copy));
    object.Clear();
    EXPECT_TRUE(object.IsEmpty());
    EXPECT_FALSE(copy.IsEmpty());
  }
  EXPECT_EQ(com::InitializeCount(), before);
}

TEST_F(AutomationTest, FailuresGiveEmptyValues) {
  AutomationObject empty;
  AutomationObject control = Make("ScriptControl");
  ASSERT_TRUE(control.WriteProperty("Language", "JavaScript"));
  for (AutomationObject* object : {&empty, &control}) {
    EXPECT_FALSE(object->WriteProperty("NoSuchMember", 1));
    EXPECT_TRUE(object->ReadProperty("NoSuchMember").IsEmpty());
    EXPECT_EQ(object->CallText("NoSuchMember"), "");
    EXPECT_EQ(object->CallNumber("Eval", {"throw new Error('x')"}), 0);
    EXPECT_FALSE(object->CallBool("Eval", {"("}));
    EXPECT_TRUE(object->CallObject("Eval", {"({})"}).IsEmpty());
    EXPECT_TRUE(object->CallMethod("Eval", {Bytes{1}}).IsEmpty());  // refused argument
  }
}

TEST_F(AutomationTest, ScriptControlRunsJavaScript) {
  for (const char* progId : {"MSScriptControl.ScriptControl", "ScriptControl"}) {
    AutomationObject control = Make(progId);
    EXPECT_TRUE(control.CallMethod("Eval", {"1"}).IsEmpty());  // no language yet
    EXPECT_FALSE(control.WriteProperty("Language", "VBScript"));
    ASSERT_TRUE(control.WriteProperty("Language", "JScript"));
    EXPECT_EQ(control.ReadText("Language"), "JScript");
    control.CallMethod("AddCode", {"function add(a, b) { return a + b; } var g = 2;"});
    control.CallMethod("ExecuteStatement", {"g = g * 21"});
    EXPECT_EQ(control.CallNumber("Eval", {"g"}), 42);
    EXPECT_EQ(control.CallNumber("Run", {"add", 1, 2}), 3);
    EXPECT_EQ(control.CallText("Run", {"add", "a", "b"}), "ab");
    EXPECT_TRUE(control.CallBool("Eval", {"var v = 1; v == 1"}));
    EXPECT_TRUE(control.CallMethod("Run", {"missing"}).IsEmpty());
  }
  // Every instance has an engine of its own.
  AutomationObject one = Make("ScriptControl");
  AutomationObject two = Make("ScriptControl");
  one.WriteProperty("Language", "JavaScript");
  two.WriteProperty("Language", "JavaScript");
  one.CallMethod("ExecuteStatement", {"var mine = 1"});
  EXPECT_EQ(one.CallText("Eval", {"typeof mine"}), "number");
  EXPECT_EQ(two.CallText("Eval", {"typeof mine"}), "undefined");
}

TEST_F(AutomationTest, TextsCrossInTheTextCodePage) {
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    AutomationObject control = Make("ScriptControl");
    control.WriteProperty("Language", "JavaScript");
    EXPECT_EQ(control.CallNumber("Eval", {codepage::SystemText("'中文'.length")}), 2) << codePage;
    EXPECT_EQ(control.CallText("Eval", {"'\\u4e2d'"}), codepage::SystemText("中")) << codePage;
    // A character the code page lacks becomes '?'.
    EXPECT_EQ(control.CallText("Eval", {"'\\u0e01'"}),
              codepage::SystemText(codePage == codepage::kGbk ? "?" : "ก"))
        << codePage;
    EXPECT_EQ(control.CallText("Eval", {"'a\\u0000b'"}), Text("a\0b", 3)) << codePage;
  }
  // Outside the BMP a character is two units, as in the script.
  AutomationObject control = Make("ScriptControl");
  control.WriteProperty("Language", "JavaScript");
  EXPECT_EQ(control.CallNumber("Eval", {"'😀'.length"}), 2);
  EXPECT_EQ(control.CallText("Eval", {"'\\ud83d\\ude00'"}), "😀");
  EXPECT_EQ(control.CallText("Eval", {"'\\ud83d'"}), "?");  // a lone surrogate
}

// Script the engine runs can't reach the machine, can't run forever and can't
// take all memory.
TEST_F(AutomationTest, ScriptControlIsContained) {
  AutomationObject control = Make("ScriptControl");
  control.WriteProperty("Language", "JavaScript");
  static const char* const kAbsent[] = {"require",        "process", "print",         "alert",
                                        "XMLHttpRequest", "File",    "ActiveXObject", "WScript",
                                        "load",           "module"};
  for (const char* name : kAbsent)
    EXPECT_EQ(control.CallText("Eval", {Text("typeof ") + name}), "undefined") << name;

  EXPECT_FALSE(control.WriteProperty("Timeout", -1));  // no "never"
  ASSERT_TRUE(control.WriteProperty("Timeout", 200));
  EXPECT_EQ(control.ReadNumber("Timeout"), 200);
  static const char* const kEndless[] = {
      "while (true) {}",
      "for (;;) { try { while (true) {} } catch (e) {} }",
      "(function f() { try { f(); } catch (e) { while (true) {} } })()",
  };
  for (const char* script : kEndless) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(control.CallMethod("Eval", {script}).IsEmpty()) << script;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << script;
    EXPECT_EQ(control.CallNumber("Eval", {"1 + 1"}), 2) << script;  // still usable
  }

  static const char* const kGreedy[] = {
      "(function () { var s = 'x'; while (true) s += s; })()",
      "(function () { var a = []; while (true) a.push({}); })()",
      "(function () { var d = []; for (var i = 0; i < 1e5; i++) d = [d]; return JSON.stringify(d); "
      "})()",
      "JSON.parse(new Array(100000).join('[') + new Array(100000).join(']'))",
  };
  for (const char* script : kGreedy) {
    control.WriteProperty("Timeout", 20000);
    EXPECT_TRUE(control.CallMethod("Eval", {script}).IsEmpty()) << script;
    EXPECT_EQ(control.CallNumber("Eval", {"1 + 1"}), 2) << script;
  }
  EXPECT_TRUE(control.CallMethod("Eval", {Text(kMaxScriptTextSize + 1, ' ')}).IsEmpty());
  // Memory a global keeps stays taken; the engine says no to more.
  EXPECT_TRUE(
      control.CallMethod("Eval", {"var keep = []; while (true) keep.push({}); 0"}).IsEmpty());
}

TEST_F(AutomationTest, StreamDecodesNamedCharsets) {
  static const struct {
    const char* charset;
    Bytes bytes;
    const char* text;  // UTF-8
  } cases[] = {
      {"utf-8", {0xE4, 0xB8, 0xAD, 0x61}, "中a"},
      {"UTF-8", {0xEF, 0xBB, 0xBF, 0x61}, "a"},
      {"gbk", {0xD6, 0xD0, 0x61}, "中a"},
      {"GB2312", {0xD6, 0xD0}, "中"},
      {"gb18030", {0xD6, 0xD0}, "中"},
      {"big5", {0xA4, 0xA4}, "中"},
      {"shift_jis", {0x92, 0x86}, "中"},
      {"euc-jp", {0xC3, 0xE6}, "中"},
      {"euc-kr", {0xB0, 0xA1}, "가"},
      {"iso-8859-1", {0xE9}, "é"},
      {"windows-1252", {0x80}, "€"},
      {"windows-1251", {0xC0}, "А"},
      {"us-ascii", {0x41}, "A"},
      {"unicode", {0x2D, 0x4E}, "中"},
      {"utf-16", {0xFF, 0xFE, 0x2D, 0x4E}, "中"},
      {"utf-8", {0x61, 0x00, 0x62}, "a\0b"},
  };
  for (unsigned codePage : {codepage::kUtf8, codepage::kGbk}) {
    codepage::ScopedTextCodePage scoped(codePage);
    for (const auto& c : cases) {
      AutomationObject stream = Make("Adodb.Stream");
      stream.WriteProperty("Type", 1);
      stream.WriteProperty("Mode", 3);
      stream.CallMethod("Open");
      stream.CallMethod("Write", {c.bytes});
      stream.WriteProperty("Position", 0);
      stream.WriteProperty("Type", 2);
      EXPECT_TRUE(stream.WriteProperty("Charset", c.charset));
      const Text expected = codepage::SystemText(std::string_view(
          c.text,
          c.bytes.size() == 3 && c.bytes[1] == 0 ? 3 : std::char_traits<char>::length(c.text)));
      const Text text = stream.CallText("ReadText");
      if (codepage::Convert(expected, codePage, codepage::kUtf8).find('?') == std::string::npos) {
        EXPECT_EQ(text, expected) << codePage << " " << c.charset;
      }
      stream.CallMethod("Close");
    }
  }
}

TEST_F(AutomationTest, StreamRefusesWhatItCannotDo) {
  AutomationObject stream = Make("Adodb.Stream");
  EXPECT_FALSE(stream.CallBool("Write", {Bytes{0x61}}));  // not open
  stream.WriteProperty("Type", 1);
  stream.CallMethod("Open");
  EXPECT_TRUE(stream.CallMethod("Write", {"text"}).IsEmpty());  // bytes only in binary mode
  stream.CallMethod("Write", {Bytes{0x61, 0x62}});
  EXPECT_EQ(stream.ReadNumber("Size"), 2);
  EXPECT_FALSE(stream.WriteProperty("Type", 2));  // only at the start
  EXPECT_FALSE(stream.WriteProperty("Position", 3));
  stream.WriteProperty("Position", 0);
  stream.WriteProperty("Type", 2);
  for (const char* charset : {"klingon", "", "utf-7"}) {
    stream.WriteProperty("Charset", charset);
    EXPECT_EQ(stream.CallText("ReadText"), "") << charset;
    EXPECT_TRUE(stream.CallMethod("ReadText").IsEmpty()) << charset;
  }
  stream.WriteProperty("Charset", "us-ascii");
  EXPECT_EQ(stream.CallText("ReadText"), "ab");
}

TEST_F(AutomationTest, RegExpCountsUtf16Units) {
  AutomationObject regexp = Make("VBScript.RegExp");
  regexp.WriteProperty("Pattern", "(b)(x)?");
  regexp.WriteProperty("Global", true);
  AutomationObject matches = regexp.CallObject("Execute", {"中😀b b"});
  ASSERT_EQ(matches.ReadNumber("Count"), 2);
  AutomationObject first = matches.ReadObject("Item", {0});
  EXPECT_EQ(first.ReadNumber("FirstIndex"), 3);
  EXPECT_EQ(first.ReadText("Value"), "b");
  AutomationObject groups = first.ReadObject("SubMatches");
  EXPECT_EQ(groups.ReadNumber("Count"), 2);
  EXPECT_EQ(groups.ReadText("Item", {0}), "b");
  EXPECT_TRUE(groups.ReadProperty("Item", {1}).IsEmpty());
  EXPECT_TRUE(groups.ReadProperty("Item", {2}).IsEmpty());
  EXPECT_EQ(matches.ReadObject("Item", {1}).ReadNumber("FirstIndex"), 5);
  EXPECT_TRUE(matches.ReadObject("Item", {2}).IsEmpty());
  EXPECT_TRUE(regexp.CallBool("Test", {"abc"}));
  EXPECT_FALSE(regexp.CallBool("Test", {"ac"}));
  // The pattern is a value: it is compiled, never run.
  regexp.WriteProperty("Pattern", "a/); while(true){}; (/");
  EXPECT_TRUE(regexp.CallObject("Execute", {"a"}).ReadNumber("Count") == 0);
}

}  // namespace
}  // namespace qp::script
