#include "run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

extern char** environ;

namespace qp::testing {
namespace {

std::vector<std::string> Environment(const std::vector<std::string>& changes) {
  std::map<std::string, std::string> vars;
  for (char** e = environ; *e; ++e) {
    std::string item = *e;
    vars[item.substr(0, item.find('='))] = item;
  }
  for (const std::string& change : changes) {
    size_t eq = change.find('=');
    if (eq == std::string::npos)
      vars.erase(change);
    else
      vars[change.substr(0, eq)] = change;
  }
  std::vector<std::string> out;
  for (auto& [name, item] : vars)
    out.push_back(item);
  return out;
}

}  // namespace

RunResult Run(const RunOptions& options) {
  RunResult result;
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  if (!options.directory.empty())
    posix_spawn_file_actions_addchdir_np(&actions, options.directory.c_str());
  std::vector<char*> argv;
  for (const auto& a : options.argv)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> envItems = Environment(options.env);
  std::vector<char*> envp;
  for (auto& e : envItems)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  auto since = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  };
  if (spawned != 0) {
    ::close(out[0]);
    ::close(err[0]);
    return result;
  }
  result.started = true;

  // Read both pipes until the child closes them (its background helpers, such
  // as a clipboard server, get /dev/null and do not hold them).
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  auto deadline = start + std::chrono::seconds(options.timeoutSeconds);
  while (open > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      ::kill(pid, SIGKILL);
      break;
    }
    if (::poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR)
      break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
        continue;
      char buffer[65536];
      ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      std::string& sink = i == 0 ? result.out : result.err;
      sink.append(buffer, static_cast<size_t>(n));
      if (i == 0 && result.firstLine.count() < 0 && sink.find('\n') != std::string::npos)
        result.firstLine = since();
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0)
      ::close(f.fd);
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.elapsed = since();
  result.maxRssKiB = usage.ru_maxrss;
  if (WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  return result;
}

}  // namespace qp::testing
