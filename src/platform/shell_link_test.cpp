#include "platform/shell_link.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/files.h"
#include "scratch_files.h"

namespace qp::shelllink {
namespace {

class ShellLinkTest : public ::testing::Test {
 protected:
  // Removed with everything in it when the test ends.
  qp::testing::ScratchFolder scratch_;
  void SetUp() override { dir_ = scratch_.path(); }
  Text Read(const Text& path) {
    Bytes content;
    return files::ReadWholeFile(path, &content) ? ToText(content) : "<missing>";
  }
  std::string dir_;
};

// The script must hand every argument to the target unchanged, whatever the
// target's folder is called; a fake target writes down what it was given.
TEST_F(ShellLinkTest, ScriptRunsTheTargetWithTheFilesWhateverItsPath) {
  static const char* const folders[] = {
      "plain", "with blank", "it's", "q\"uote", "$HOME`id`", "back\\slash", "new\nline", "中文",
  };
  for (const char* folder : folders) {
    const Text app = dir_ + "/" + folder;
    ASSERT_EQ(::mkdir(app.c_str(), 0755), 0) << folder;
    const Text target = app + "/quillpost";
    std::ofstream(target)
        << "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done > \"$OUT\"\n";
    ::chmod(target.c_str(), 0755);
    const Text link = dir_ + "/home/nautilus/scripts/Quillpost";
    ASSERT_TRUE(CreateShellLink(link, target, app + "/")) << folder;

    struct stat st {};
    ASSERT_EQ(::stat(link.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0111u) << folder;
    const Text out = dir_ + "/out";
    const Text command =
        "cd '" + dir_ + "' && OUT='" + out + "' '" + link + "' 'a b.txt' 'it'\\''s' '' '$x'";
    ASSERT_EQ(std::system(command.c_str()), 0) << folder;
    EXPECT_EQ(Read(out), "a b.txt|it's||$x|") << folder;
  }
}

TEST_F(ShellLinkTest, DesktopEntryQuotesTheTargetForItsExecKey) {
  static const struct {
    const char* folder;
    const char* exec;
    const char* path;
  } cases[] = {
      {"/opt/qp", "Exec=\"/opt/qp/quillpost\" %F", "Path=/opt/qp/"},
      {"/opt/a b", "Exec=\"/opt/a b/quillpost\" %F", "Path=/opt/a b/"},
      {"/opt/100%", "Exec=\"/opt/100%%/quillpost\" %F", "Path=/opt/100%/"},
      {"/opt/\"$`", "Exec=\"/opt/\\\\\"\\\\$\\\\`/quillpost\" %F", "Path=/opt/\"$`/"},
      {"/opt/a\\b", "Exec=\"/opt/a\\\\\\\\b/quillpost\" %F", "Path=/opt/a\\\\b/"},
      {"/opt/x\ny", "Exec=\"/opt/x\\ny/quillpost\" %F", "Path=/opt/x\\ny/"},
  };
  for (const auto& c : cases) {
    const Text link = dir_ + "/share/applications/quillpost.desktop";
    ASSERT_TRUE(CreateShellLink(link, Text(c.folder) + "/quillpost", Text(c.folder) + "/"));
    const Text entry = Read(link);
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(entry.find(Text("\n") + c.exec + "\n"), Text::npos) << c.folder << "\n" << entry;
    EXPECT_NE(entry.find(Text("\n") + c.path + "\n"), Text::npos) << c.folder << "\n" << entry;
    EXPECT_NE(entry.find("\nMimeType=application/octet-stream;\n"), Text::npos);
  }
}

TEST_F(ShellLinkTest, ReplacesAnEntryAndFailsWhereNoFolderCanBeMade) {
  const Text link = dir_ + "/applications/quillpost.desktop";
  ASSERT_TRUE(CreateShellLink(link, "/old/quillpost", "/old/"));
  ASSERT_TRUE(CreateShellLink(link, "/new/quillpost", "/new/"));
  EXPECT_EQ(Read(link).find("/old/"), Text::npos);

  std::ofstream(dir_ + "/file") << "x";
  EXPECT_FALSE(CreateShellLink(dir_ + "/file/scripts/Quillpost", "/t/quillpost", "/t/"));
  EXPECT_FALSE(CreateShellLink("", "/t/quillpost", "/t/"));
}

TEST(ShellLink, EntriesLieUnderTheParentOfTheStartMenu) {
  EXPECT_EQ(ExecutableName(), "quillpost");
  EXPECT_EQ(SendToEntryNames(),
            (std::vector<Text>{"nautilus/scripts/Quillpost", "applications/quillpost.desktop"}));
}

}  // namespace
}  // namespace qp::shelllink
