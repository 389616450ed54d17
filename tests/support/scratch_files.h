#pragma once
// Files in the states the tests above the platform layer need, made without
// those tests touching the operating system's own headers.

#include <cstdint>
#include <string>

namespace qp::testing {

// A fresh folder under /tmp, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A wall-clock time in the local time zone.
struct LocalClock {
  int year, month, day, hour, minute, second;
};

// Creates or cuts `path` to `size` bytes without writing them: a sparse file,
// so even files of several GiB take no disk.
bool MakeSparseFile(const std::string& path, std::uint64_t size);

// Sets the file's last-access and last-write times.
bool SetFileTimes(const std::string& path, const LocalClock& access, const LocalClock& write);

// Takes every permission away. False when the process reads it regardless
// (root), so the caller can skip what it meant to show.
bool MakeUnreadable(const std::string& path);

}  // namespace qp::testing
