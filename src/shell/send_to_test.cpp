#include "shell/send_to.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/files.h"
#include "platform/gui.h"
#include "platform/process.h"
#include "scratch_files.h"

namespace qp::shell {
namespace {

// A run directory and an empty home in a temporary folder, and a record of
// what the handlers told the user.
class SendToTest : public ::testing::Test {
 public:
  // Removed with everything in it when the test ends.
  qp::testing::ScratchFolder scratch_;
  void SetUp() override {
    root_ = scratch_.path();
    run_ = root_ + "/run dir";
    home_ = root_ + "/home";
    ::mkdir(run_.c_str(), 0755);
    ::mkdir(home_.c_str(), 0755);
    const char* home = ::getenv("HOME");
    savedHome_ = home ? home : "";
    ::setenv("HOME", home_.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    process::SetRunDirectory(run_);
    ui_.showMessage = [this](const Text& text, std::uint32_t flags, const Text& caption) {
      said_.push_back(caption + "|" + std::to_string(flags) + "|" + text);
    };
    ui_.exitProgram = [this] { ++exits_; };
  }
  void TearDown() override {
    ::setenv("HOME", savedHome_.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    process::SetRunDirectory("");
  }

  void PutExecutable(const Text& name) {
    std::ofstream(run_ + "/" + name) << "#!/bin/sh\n";
    ::chmod((run_ + "/" + name).c_str(), 0755);
  }
  Text Script() const { return home_ + "/.local/share/nautilus/scripts/Quillpost"; }
  Text Desktop() const { return home_ + "/.local/share/applications/quillpost.desktop"; }
  bool Exists(const Text& path) const { return files::FindEntry(path).has_value(); }

  std::string root_, run_, home_, savedHome_;
  SendToUi ui_;
  std::vector<std::string> said_;
  int exits_ = 0;
};

const char kOk[] = "提示|64|成功！";
const char kFailed[] = "提示|16|失败！请检查信息或以管理员身份运行。";
const char kRemoved[] = "提示|64|删除成功！";
const char kNotRemoved[] = "提示|16|删除失败！请检查信息或以管理员身份运行。";

TEST_F(SendToTest, InstallWritesBothEntriesIntoAFreshHomeAndEnds) {
  PutExecutable("quillpost");
  EXPECT_EQ(SendToTargetPath(), run_ + "/quillpost");
  EXPECT_EQ(SendToShortcutPaths(), (std::vector<Text>{Script(), Desktop()}));

  InstallSendToShortcut(ui_);
  EXPECT_EQ(said_, std::vector<std::string>{kOk});
  EXPECT_EQ(exits_, 1);
  EXPECT_TRUE(Exists(Script()));
  EXPECT_TRUE(Exists(Desktop()));

  // Installing over an earlier install replaces the entries.
  InstallSendToShortcut(ui_);
  EXPECT_EQ(said_, (std::vector<std::string>{kOk, kOk}));
  EXPECT_EQ(exits_, 2);
}

TEST_F(SendToTest, InstallFailsWithoutTheExecutableUnderItsFixedName) {
  static const struct {
    const char* what;
    std::function<void(SendToTest*)> prepare;
  } cases[] = {
      {"nothing there", [](SendToTest*) {}},
      {"saved under another name", [](SendToTest* t) { t->PutExecutable("quillpost-copy"); }},
      {"a folder of that name",
       [](SendToTest* t) { ::mkdir((t->run_ + "/quillpost").c_str(), 0755); }},
  };
  for (const auto& c : cases) {
    said_.clear();
    c.prepare(this);
    InstallSendToShortcut(ui_);
    EXPECT_EQ(said_, std::vector<std::string>{kFailed}) << c.what;
    EXPECT_EQ(exits_, 0) << c.what;
    EXPECT_FALSE(Exists(home_ + "/.local")) << c.what;
  }
}

TEST_F(SendToTest, InstallFailsWhereTheEntriesCantBeWritten) {
  PutExecutable("quillpost");
  std::ofstream(root_ + "/not-a-folder") << "x";
  ::setenv("XDG_DATA_HOME", (root_ + "/not-a-folder/share").c_str(), 1);
  InstallSendToShortcut(ui_);
  EXPECT_EQ(said_, std::vector<std::string>{kFailed});
  EXPECT_EQ(exits_, 0);
}

TEST_F(SendToTest, RemoveSucceedsWhenAnyEntryWasThere) {
  static const struct {
    bool script, desktop;
    const char* said;
    int exits;
  } cases[] = {
      {true, true, kRemoved, 1},
      {true, false, kRemoved, 1},
      {false, true, kRemoved, 1},
      {false, false, kNotRemoved, 0},
  };
  PutExecutable("quillpost");
  for (const auto& c : cases) {
    InstallSendToShortcut(ui_);
    if (!c.script)
      ::unlink(Script().c_str());
    if (!c.desktop)
      ::unlink(Desktop().c_str());
    said_.clear();
    exits_ = 0;
    RemoveSendToShortcut(ui_);
    EXPECT_EQ(said_, std::vector<std::string>{c.said}) << c.script << c.desktop;
    EXPECT_EQ(exits_, c.exits) << c.script << c.desktop;
    EXPECT_FALSE(Exists(Script()));
    EXPECT_FALSE(Exists(Desktop()));
  }
}

}  // namespace
}  // namespace qp::shell
