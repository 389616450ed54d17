#include "platform/folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "scratch_files.h"

namespace qp::folders {
namespace {

// Sets environment variables for one test and puts the old values back.
class FoldersTest : public ::testing::Test {
 protected:
  // Removed with everything in it when the test ends.
  qp::testing::ScratchFolder scratch_;
  void SetUp() override {
    home_ = scratch_.path();
    Set("HOME", home_.c_str());
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "TMPDIR"})
      Set(name, nullptr);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }
  void Set(const char* name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = ::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }

  std::string home_;
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(FoldersTest, FallsBackToTheHomeFolder) {
  static const struct {
    Kind kind;
    const char* underHome;  // nullptr: no folder
  } cases[] = {
      {Kind::kDocuments, "/Documents"},
      {Kind::kFavorites, nullptr},
      {Kind::kDesktop, "/Desktop"},
      {Kind::kFonts, "/.local/share/fonts"},
      {Kind::kStartMenu, "/.local/share/applications"},
      {Kind::kPrograms, "/.local/share/applications"},
      {Kind::kStartup, "/.config/autostart"},
      {Kind::kAppData, "/.local/share"},
      {Kind::kInternetCache, "/.cache"},
  };
  for (const auto& c : cases) {
    auto folder = SpecialFolder(c.kind);
    if (c.underHome)
      EXPECT_EQ(folder.value_or("<none>"), home_ + c.underHome) << static_cast<int>(c.kind);
    else
      EXPECT_FALSE(folder) << static_cast<int>(c.kind);
  }
  EXPECT_EQ(SpecialFolder(Kind::kTemp).value_or(""), "/tmp");
  EXPECT_FALSE(SpecialFolder(static_cast<Kind>(13)));
}

TEST_F(FoldersTest, FollowsTheXdgVariablesAndUserDirs) {
  Set("XDG_DATA_HOME", "/data");
  Set("XDG_CACHE_HOME", "relative/cache");  // relative values are ignored
  Set("XDG_CONFIG_HOME", (home_ + "/cfg").c_str());
  Set("TMPDIR", "/var/tmp");
  ::mkdir((home_ + "/cfg").c_str(), 0700);
  std::ofstream(home_ + "/cfg/user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                  "XDG_DESKTOP_DIR=\"$HOME/桌面\"\n"
                                                  "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n";
  EXPECT_EQ(SpecialFolder(Kind::kStartMenu).value_or(""), "/data/applications");
  EXPECT_EQ(SpecialFolder(Kind::kInternetCache).value_or(""), home_ + "/.cache");
  EXPECT_EQ(SpecialFolder(Kind::kStartup).value_or(""), home_ + "/cfg/autostart");
  EXPECT_EQ(SpecialFolder(Kind::kDesktop).value_or(""), home_ + "/桌面");
  EXPECT_EQ(SpecialFolder(Kind::kDocuments).value_or(""), "/srv/docs");
  EXPECT_EQ(SpecialFolder(Kind::kTemp).value_or(""), "/var/tmp");
}

}  // namespace
}  // namespace qp::folders
