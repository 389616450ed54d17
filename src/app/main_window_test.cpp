#include "app/main_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "app/program.h"
#include "cloud/origins.h"
#include "platform/files.h"
#include "platform/gui_fake.h"
#include "scratch_files.h"
#include "shell/send_to.h"

namespace qp::app {
namespace {

using Calls = std::vector<std::string>;

// A FakeGui that also notes the process-wide values at the moment the session
// check starts on saved cookies (it gives the window its upload look first),
// before its requests and the exit that follows change or release them.
class WatchingGui : public gui::FakeGui {
 public:
  using FakeGui::FakeGui;
  void SetTopmost() override {
    argumentsSeen = Arguments();
    cookiesSeen = SessionCookies();
    FakeGui::SetTopmost();
  }
  std::vector<Text> argumentsSeen;
  Text cookiesSeen;
};

// A run directory with the executable and an empty home, in a temporary
// folder.
class MainWindowTest : public ::testing::Test {
 protected:
  // Removed with everything in it when the test ends.
  qp::testing::ScratchFolder scratch_;
  void SetUp() override {
    root_ = scratch_.path();
    run_ = root_ + "/run";
    ::mkdir(run_.c_str(), 0755);
    ::mkdir((root_ + "/home").c_str(), 0755);
    std::ofstream(run_ + "/quillpost") << "#!/bin/sh\n";
    const char* home = ::getenv("HOME");
    savedHome_ = home ? home : "";
    ::setenv("HOME", (root_ + "/home").c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    process::SetRunDirectory(run_);
  }
  void TearDown() override {
    ::setenv("HOME", savedHome_.c_str(), 1);
    process::SetRunDirectory("");
  }
  Text Settings() {
    Bytes content;
    return files::ReadWholeFile(run_ + "/设置.ini", &content) ? ToText(content) : "<missing>";
  }
  bool EntriesExist() {
    return files::FindEntry(root_ + "/home/.local/share/nautilus/scripts/Quillpost") &&
           files::FindEntry(root_ + "/home/.local/share/applications/quillpost.desktop");
  }
  static process::CommandLine Split(std::vector<Text> args) { return {std::nullopt, args}; }

  std::string root_, run_, savedHome_;
};

TEST_F(MainWindowTest, FormMatchesTheLayout) {
  const gui::Form f = MainForm();
  EXPECT_EQ(f.title, "我");
  EXPECT_EQ((std::vector<int>{f.left, f.top, f.width, f.height}),
            (std::vector<int>{50, 50, 461, 95}));
  static const struct {
    gui::ControlId id;
    const char* name;
    gui::ControlKind kind;
    int parent;  // -1: the client area
    int left, top, width, height;
    const char* text;
    bool visible;
  } cases[] = {
      {form::分组框1, "分组框1", gui::ControlKind::kGroupBox, -1, 2, 10, 448, 64, "", false},
      {form::标签1, "标签1", gui::ControlKind::kLabel, form::分组框1, 14, 22, 232, 25,
       "选择文件-鼠标右键-发送到-Quillpost", true},
      {form::按钮_关联右键, "按钮_关联右键", gui::ControlKind::kButton, form::分组框1, 256, 22, 64,
       24, "关联右键", true},
      {form::按钮_取消关联, "按钮_取消关联", gui::ControlKind::kButton, form::分组框1, 320, 22, 64,
       24, "取消关联", true},
      {form::标签2, "标签2", gui::ControlKind::kLabel, -1, 10, 10, 448, 73, "正在创建链接...",
       true},
  };
  ASSERT_EQ(f.controls.size(), std::size(cases));
  for (const auto& c : cases) {
    const gui::Control& got = f.controls[c.id];
    EXPECT_EQ(got.name, c.name);
    EXPECT_EQ(got.kind, c.kind) << c.name;
    EXPECT_EQ(got.parent.value_or(-1), c.parent) << c.name;
    EXPECT_EQ((std::vector<int>{got.left, got.top, got.width, got.height}),
              (std::vector<int>{c.left, c.top, c.width, c.height}))
        << c.name;
    EXPECT_EQ(got.text, c.text) << c.name;
    EXPECT_EQ(got.visible, c.visible) << c.name;
  }
}

TEST_F(MainWindowTest, WithoutAFileTheWindowOffersTheButtonsAndWritesNothing) {
  const Text saved = "[lanzouyun]\ncookies=c=1\nusername=u\n";
  static const char* const files[] = {nullptr, "[lanzouyun]\ncookies=c=1\nusername=u\n"};
  for (const char* file : files) {
    if (file)
      std::ofstream(run_ + "/设置.ini") << file;
    gui::FakeGui gui;
    EXPECT_EQ(RunProgram(gui, Split({})), 0);
    EXPECT_EQ(gui.Calls(), (Calls{"CreateMainWindow 我", "SetVisible 标签2 0",
                                  "SetVisible 分组框1 1", "RunMessageLoop"}));
    EXPECT_TRUE(gui.created());
    EXPECT_FALSE(gui.topmost());
    EXPECT_EQ(gui.extendedStyle(), 0u);
    EXPECT_EQ(Settings(), file ? file : "<missing>");
    EXPECT_TRUE(Arguments().empty());
    EXPECT_TRUE(SessionCookies().empty());
  }
}

TEST_F(MainWindowTest, ButtonsInstallAndRemoveTheEntriesAndEndAfterASuccess) {
  static const struct {
    const char* what;
    bool installedBefore;
    std::vector<gui::ControlId> clicks;
    Calls messages;
    std::optional<int> exitCode;
    bool entries;
  } cases[] = {
      {"install",
       false,
       {form::按钮_关联右键},
       {"ShowMessage 提示 0x2040 成功！", "EndProcess 0"},
       0,
       true},
      {"remove when nothing is there, then install",
       false,
       {form::按钮_取消关联, form::按钮_关联右键, form::按钮_取消关联},
       {"ShowMessage 提示 0x2010 删除失败！请检查信息或以管理员身份运行。",
        "ShowMessage 提示 0x2040 成功！", "EndProcess 0"},
       0,
       true},
      {"remove what is there",
       true,
       {form::按钮_取消关联},
       {"ShowMessage 提示 0x2040 删除成功！", "EndProcess 0"},
       0,
       false},
      {"label clicks do nothing", false, {form::标签1}, {}, std::nullopt, false},
  };
  for (const auto& c : cases) {
    std::system(("rm -rf '" + root_ + "/home/.local'").c_str());
    if (c.installedBefore)
      shell::InstallSendToShortcut({[](const Text&, std::uint32_t, const Text&) {}, [] {}});
    ASSERT_EQ(EntriesExist(), c.installedBefore);
    gui::FakeGui gui;
    for (gui::ControlId click : c.clicks)
      gui.QueueClick(click);
    RunProgram(gui, Split({}));
    Calls messages;
    for (const std::string& call : gui.Calls()) {
      if (call.rfind("ShowMessage", 0) == 0 || call.rfind("EndProcess", 0) == 0)
        messages.push_back(call);
    }
    EXPECT_EQ(messages, c.messages) << c.what;
    EXPECT_EQ(gui.exitCode(), c.exitCode) << c.what;
    EXPECT_EQ(EntriesExist(), c.entries) << c.what;
    EXPECT_EQ(Settings(), "<missing>") << c.what;
  }
}

TEST_F(MainWindowTest, WithAFileTheSessionCheckRunsAfterTheSettingsAreRead) {
  std::ofstream(run_ + "/设置.ini") << "[lanzouyun]\ncookies=a=1; b=2\nusername=u\npassword=p\n";
  static const struct {
    const char* what;
    process::CommandLine line;
    std::vector<Text> arguments;
  } cases[] = {
      {"split by the caller", {std::nullopt, {"/home/u/a b.txt", "/x"}}, {"/home/u/a b.txt", "/x"}},
      {"one whole line",
       {Text("\"C:\\Q.exe\" \"D:\\a b.txt\" E:\\c.txt"), {}},
       {"D:\\a b.txt", "E:\\c.txt"}},
  };
  // Nothing listens there: the probe and the sign-in fail at once.
  cloud::ScopedOrigins nowhere({"http://127.0.0.1:1", "http://127.0.0.1:1", "http://127.0.0.1:1"});
  for (const auto& c : cases) {
    WatchingGui gui;
    RunProgram(gui, c.line);
    EXPECT_EQ(gui.argumentsSeen, c.arguments) << c.what;
    EXPECT_EQ(gui.cookiesSeen, "a=1; b=2") << c.what;
    ASSERT_EQ(gui.Messages().size(), 1u) << c.what;
    EXPECT_EQ(gui.Messages()[0].text, "登录失败");
    EXPECT_EQ(gui.Messages()[0].caption, "错误");
    EXPECT_EQ(gui.Messages()[0].flags, gui::kMbIconError | gui::kMbTaskModal);
    EXPECT_EQ(gui.exitCode(), 0) << c.what;
    EXPECT_TRUE(Arguments().empty()) << c.what;  // released on the way out
    EXPECT_TRUE(SessionCookies().empty()) << c.what;
  }
}

TEST_F(MainWindowTest, TerminalFormEndsWithOneWhenItHadToSayNo) {
  static const struct {
    const char* what;
    std::vector<Text> args;
    bool groupBoxShown;
  } cases[] = {
      {"no file: the buttons need a desktop", {}, false},
      // No settings file: the window would turn into the association window.
      {"a file without account data", {"/tmp/file"}, true},
  };
  for (const auto& c : cases) {
    gui::FakeGui gui(/*terminal=*/true);
    const int code = RunProgram(gui, Split(c.args));
    EXPECT_EQ(code, 1) << c.what;
    ASSERT_EQ(gui.Messages().size(), 1u) << c.what;
    EXPECT_EQ(gui.Messages()[0].flags & gui::kMbIconMask, gui::kMbIconError) << c.what;
    EXPECT_EQ(gui.IsVisible(form::分组框1), c.groupBoxShown) << c.what;
  }
}

// The shared operations, each against a fresh FakeGui.
class ProgramTest : public ::testing::Test {
 protected:
  void Use(bool terminal) {
    gui_ = std::make_unique<gui::FakeGui>(terminal);
    gui_->CreateMainWindow(MainForm(), {});
    gui_->ClearCalls();
    UseGui(gui_.get());
  }
  void TearDown() override { UseGui(nullptr); }
  std::unique_ptr<gui::FakeGui> gui_;
};

TEST_F(ProgramTest, MessagesAreTaskModalUnlessSystemModal) {
  static const struct {
    std::uint32_t given, shown;
  } cases[] = {
      {gui::kMbOk | gui::kMbIconError, 0x2010},
      {gui::kMbOk | gui::kMbIconInformation, 0x2040},
      {gui::kMbSystemModal | gui::kMbIconError, 0x1010},
      {gui::kMbTaskModal | gui::kMbIconInformation, 0x2040},
  };
  Use(false);
  for (const auto& c : cases)
    ShowMessage("t", c.given, "c");
  ASSERT_EQ(gui_->Messages().size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(gui_->Messages()[i].flags, cases[i].shown) << cases[i].given;
}

TEST_F(ProgramTest, OrderlyExitReleasesTheGlobalsAndPicksTheCode) {
  static const struct {
    bool terminal;
    std::vector<std::uint32_t> messages;
    int code;
  } cases[] = {
      {false, {}, 0},
      {false, {gui::kMbIconError}, 0},
      {true, {}, 0},
      {true, {gui::kMbIconInformation}, 0},
      {true, {gui::kMbIconWarning}, 0},  // 0x30 holds the error bit but is no error
      {true, {gui::kMbIconError}, 1},
      {true, {gui::kMbIconError, gui::kMbIconInformation}, 1},
  };
  for (const auto& c : cases) {
    Use(c.terminal);
    Arguments() = {"/a"};
    SessionCookies() = "a=1";
    for (std::uint32_t flags : c.messages)
      ShowMessage("t", flags, "c");
    ExitProgram();
    EXPECT_EQ(gui_->exitCode(), c.code) << c.terminal << " " << c.messages.size();
    EXPECT_TRUE(Arguments().empty());
    EXPECT_TRUE(SessionCookies().empty());
  }
}

TEST_F(ProgramTest, LayeringChoosesStyleAndFlagsLikeTheWindowsCall) {
  static const struct {
    std::uint8_t alpha;
    std::uint32_t colorKey;
    bool keep;
    std::uint32_t styleBefore;
    Calls calls;
  } cases[] = {
      {0,
       0xFFFFFF,
       false,
       0x8,
       {"SetExtendedStyle 0x80000", "SetLayeredAttributes key=0xFFFFFF alpha=0 flags=1"}},
      {0,
       0xFFFFFF,
       true,
       0x8,
       {"ExtendedStyle", "SetExtendedStyle 0x80028",
        "SetLayeredAttributes key=0xFFFFFF alpha=0 flags=1"}},
      {128,
       0,
       false,
       0,
       {"SetExtendedStyle 0x80000", "SetLayeredAttributes key=0x000000 alpha=128 flags=2"}},
      {0,
       0,
       false,
       0,
       {"SetExtendedStyle 0x80000", "SetLayeredAttributes key=0x000000 alpha=0 flags=2"}},
      {200,
       0x00FF00,
       false,
       0,
       {"SetExtendedStyle 0x80000", "SetLayeredAttributes key=0x00FF00 alpha=200 flags=3"}},
  };
  for (const auto& c : cases) {
    Use(false);
    gui_->SetExtendedStyle(c.styleBefore);
    gui_->ClearCalls();
    SetWindowLayering(c.alpha, c.colorKey, c.keep);
    EXPECT_EQ(gui_->Calls(), c.calls) << int(c.alpha) << " " << c.colorKey << " " << c.keep;
  }
}

TEST_F(ProgramTest, LooksOfTheModes) {
  Use(false);
  ShowUploadLook();
  EXPECT_EQ(gui_->Calls(), (Calls{"SetTopmost", "SetExtendedStyle 0x80000",
                                  "SetLayeredAttributes key=0xFFFFFF alpha=0 flags=1"}));
  EXPECT_TRUE(gui_->topmost());

  Use(false);
  ShowAssociationLookAfterMissingAccount();
  EXPECT_EQ(gui_->Calls(),
            (Calls{"BringToTop 分组框1", "SetVisible 标签2 0", "SetVisible 分组框1 1"}));
  EXPECT_EQ(gui_->ZOrderAround(form::分组框1),
            (std::vector<gui::ControlId>{form::标签2, form::分组框1}));
  EXPECT_FALSE(gui_->topmost());
  EXPECT_EQ(gui_->extendedStyle(), 0u);

  Use(false);
  SetStatusText("上传文件...");
  EXPECT_EQ(gui_->TextOf(form::标签2), "上传文件...");
}

}  // namespace
}  // namespace qp::app
