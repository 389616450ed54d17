#include "scratch_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace qp::testing {
namespace {

timespec ToTimespec(const LocalClock& c) {
  struct tm tm {};
  tm.tm_year = c.year - 1900;
  tm.tm_mon = c.month - 1;
  tm.tm_mday = c.day;
  tm.tm_hour = c.hour;
  tm.tm_min = c.minute;
  tm.tm_sec = c.second;
  tm.tm_isdst = -1;
  return {std::mktime(&tm), 0};
}

}  // namespace

ScratchFolder::ScratchFolder() {
  char pattern[] = "/tmp/qp-test-XXXXXX";
  if (::mkdtemp(pattern))
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty())
    return;
  // Locked files inside must not keep the folder from going.
  std::error_code ignored;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
    ::chmod(entry.path().c_str(), entry.is_directory() ? 0700 : 0600);
  std::filesystem::remove_all(path_, ignored);
}

bool MakeSparseFile(const std::string& path, std::uint64_t size) {
  int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    return false;
  const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
  return (::close(fd) == 0) && ok;
}

bool SetFileTimes(const std::string& path, const LocalClock& access, const LocalClock& write) {
  const timespec times[2] = {ToTimespec(access), ToTimespec(write)};
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool MakeUnreadable(const std::string& path) {
  if (::chmod(path.c_str(), 0) != 0)
    return false;
  return ::access(path.c_str(), R_OK) != 0;
}

}  // namespace qp::testing
