#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/clipboard.h"

extern char** environ;

namespace qp::clipboard {
namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Writes to a pipe whose reader may have died without the process getting
// SIGPIPE: the signal is blocked on this thread and a pending one consumed.
bool WriteToPipe(int fd, const Text& text) {
  sigset_t pipeSignal, previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  bool ok = WriteAll(fd, text.data(), text.size());
  timespec none{0, 0};
  while (sigtimedwait(&pipeSignal, nullptr, &none) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return ok;
}

// Runs `argv` with `text` on its standard input and its output discarded. The
// tools fork a server that outlives them and return once it holds the
// selection; true when the tool exited with 0.
bool RunWithInput(const std::vector<const char*>& argv, const Text& text) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr,
                             const_cast<char* const*>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[0]);
  if (spawned != 0) {
    ::close(fds[1]);
    return false;
  }
  bool written = WriteToPipe(fds[1], text);
  ::close(fds[1]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return written && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool HasEnv(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

bool SetText(const Text& text) {
  if (HasEnv("WAYLAND_DISPLAY") && RunWithInput({"wl-copy", nullptr}, text))
    return true;
  if (HasEnv("DISPLAY") && RunWithInput({"xclip", "-selection", "clipboard", "-i", nullptr}, text))
    return true;
  Text line = text + "\n";
  return WriteAll(STDOUT_FILENO, line.data(), line.size());
}

}  // namespace qp::clipboard
