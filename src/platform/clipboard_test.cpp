#include "platform/clipboard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "xvfb.h"

namespace qp::clipboard {
namespace {

// The clipboard as another program reads it; xclip's server may take a moment
// to claim the selection after the tool has returned.
std::string ReadBack(const std::string& expected) {
  std::string got;
  for (int i = 0; i < 50 && got != expected; ++i) {
    got = qp::testing::RunCapture("xclip -o -selection clipboard 2>/dev/null");
    if (got != expected)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return got;
}

TEST(Clipboard, TextOutlivesTheSetterOnX11) {
  qp::testing::ScopedXvfb x;
  ASSERT_TRUE(x.ok()) << "Xvfb did not start";
  for (const Text& text : {Text("http://127.0.0.1:1/iabc"), Text("中文 link")}) {
    ASSERT_TRUE(SetText(text));
    EXPECT_EQ(ReadBack(text), text);
  }
}

TEST(Clipboard, WithoutADisplayTheTextIsOneLineOnStandardOutput) {
  const char* display = std::getenv("DISPLAY");
  std::string saved = display ? display : "";
  ::unsetenv("DISPLAY");
  char path[] = "/tmp/qp-clip-XXXXXX";
  int file = ::mkstemp(path);
  std::fflush(stdout);
  int saveOut = ::dup(1);
  ::dup2(file, 1);
  bool ok = SetText("http://127.0.0.1:1/iabc");
  ::dup2(saveOut, 1);
  ::close(saveOut);
  ::close(file);
  if (display)
    ::setenv("DISPLAY", saved.c_str(), 1);
  std::stringstream out;
  out << std::ifstream(path).rdbuf();
  ::unlink(path);
  EXPECT_TRUE(ok);
  EXPECT_EQ(out.str(), "http://127.0.0.1:1/iabc\n");
}

}  // namespace
}  // namespace qp::clipboard
