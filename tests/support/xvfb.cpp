#include "xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace qp::testing {

ScopedXvfb::ScopedXvfb() {
  if (const char* d = std::getenv("DISPLAY")) {
    hadDisplay_ = true;
    previousDisplay_ = d;
  }
  if (const char* w = std::getenv("WAYLAND_DISPLAY")) {
    hadWayland_ = true;
    previousWayland_ = w;
  }
  int fds[2];
  if (::pipe(fds) != 0)
    return;
  // -displayfd: the server picks a free display and writes its number.
  std::string fd = std::to_string(fds[1]);
  const char* argv[] = {"Xvfb",    "-displayfd", fd.c_str(),    "-nolisten", "tcp",
                        "-screen", "0",          "1024x768x24", nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0)
    pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char c;
  while (pid_ > 0 && ::poll(&p, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
    number += c;
  ::close(fds[0]);
  if (number.empty())
    return;
  display_ = ":" + number;
  ::setenv("DISPLAY", display_.c_str(), 1);
  ::unsetenv("WAYLAND_DISPLAY");
}

ScopedXvfb::~ScopedXvfb() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status;
    ::waitpid(pid_, &status, 0);
  }
  if (hadDisplay_)
    ::setenv("DISPLAY", previousDisplay_.c_str(), 1);
  else
    ::unsetenv("DISPLAY");
  if (hadWayland_)
    ::setenv("WAYLAND_DISPLAY", previousWayland_.c_str(), 1);
}

std::string RunCapture(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe)
    return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    out.append(buffer, n);
  int s = ::pclose(pipe);
  if (status)
    *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
  return out;
}

}  // namespace qp::testing
