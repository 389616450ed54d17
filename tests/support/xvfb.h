#pragma once
// A private X server for one test: started on a free display number, DISPLAY
// pointed at it (WAYLAND_DISPLAY cleared), stopped and DISPLAY restored at the
// end of the scope.

#include <sys/types.h>

#include <string>

namespace qp::testing {

class ScopedXvfb {
 public:
  ScopedXvfb();
  ~ScopedXvfb();
  ScopedXvfb(const ScopedXvfb&) = delete;
  ScopedXvfb& operator=(const ScopedXvfb&) = delete;

  bool ok() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string previousDisplay_, previousWayland_;
  bool hadDisplay_ = false, hadWayland_ = false;
};

// Runs a command line through /bin/sh and returns its standard output; the
// exit status goes to `status` when given.
std::string RunCapture(const std::string& command, int* status = nullptr);

}  // namespace qp::testing
