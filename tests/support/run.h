#pragma once
// Running a program the way a user would, with a time limit.

#include <chrono>
#include <string>
#include <vector>

namespace qp::testing {

struct RunResult {
  bool started = false;
  bool timedOut = false;  // killed after the limit
  int exitCode = -1;      // -1 when it did not exit normally
  std::string out, err;
  std::chrono::milliseconds elapsed{0};
  // When the first line of standard output arrived, from the start.
  std::chrono::milliseconds firstLine{-1};
  long maxRssKiB = 0;  // peak resident memory of the child
};

struct RunOptions {
  std::vector<std::string> argv;  // argv[0] is the program's path
  std::string directory;          // "" keeps the current one
  // Environment changes: "NAME=value" sets, "NAME" removes.
  std::vector<std::string> env;
  int timeoutSeconds = 60;
};

RunResult Run(const RunOptions& options);

}  // namespace qp::testing
