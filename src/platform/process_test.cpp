#include "platform/process.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/com.h"
#include "platform/files.h"
#include "scratch_files.h"

namespace qp::process {
namespace {

TEST(Process, RelativeArgumentsBecomeAbsoluteAgainstTheStartFolder) {
  static const struct {
    const char* folder;
    const char* arg;
    const char* result;
  } cases[] = {
      {"/home/u", "a.txt", "/home/u/a.txt"},
      {"/home/u", "sub/b c.txt", "/home/u/sub/b c.txt"},
      {"/home/u", "../x", "/home/u/../x"},
      {"/home/u", "/abs/file", "/abs/file"},
      {"/", "a.txt", "/a.txt"},
      {"/home/u", "", ""},  // names nothing, so it stays nothing
      {"/home/u", "\"quoted\"", "/home/u/\"quoted\""},
      {"", "a.txt", "a.txt"},  // no start folder known
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MakeAbsolute({c.arg}, c.folder), std::vector<Text>{c.result})
        << c.folder << " + " << c.arg;
  }
}

TEST(Process, StartUpMovesIntoTheExecutablesFolderAfterResolvingArguments) {
  const Text before = files::CurrentDirectory();
  const qp::testing::ScratchFolder scratch;
  const Text start = scratch.path();
  ASSERT_TRUE(files::SetCurrentDirectory(start));
  char prog[] = "prog", rel[] = "名字 with blank.txt", abs[] = "/etc/hosts";
  char* argv[] = {prog, rel, abs, nullptr};
  const int comBefore = com::InitializeCount();

  StartUp(3, argv);

  const Text exe = files::ExecutablePath();
  EXPECT_EQ(RunDirectory(), exe.substr(0, exe.rfind('/')));
  EXPECT_EQ(files::CurrentDirectory(), RunDirectory());
  EXPECT_FALSE(GivenCommandLine().whole);
  EXPECT_EQ(GivenCommandLine().split, (std::vector<Text>{start + "/名字 with blank.txt", abs}));
  EXPECT_EQ(com::InitializeCount(), comBefore + 1);
  com::Uninitialize();
  files::SetCurrentDirectory(before);
}

TEST(Process, StartThreadRunsTheBodyOnAnotherThread) {
  std::atomic<bool> ran{false};
  std::atomic<std::thread::id> where{};
  ASSERT_TRUE(StartThread([&] {
    where = std::this_thread::get_id();
    ran = true;
  }));
  for (int i = 0; i < 500 && !ran; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(ran);
  EXPECT_NE(where.load(), std::this_thread::get_id());
}

TEST(Process, ExitEndsTheProcessWithTheCode) {
  EXPECT_EXIT({ Exit(3); }, ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace qp::process
