#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/files.h"

namespace qp::files {
namespace {

// A file descriptor with one owner.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

LocalTime ToLocal(const struct timespec& ts) {
  struct tm tm {};
  time_t seconds = ts.tv_sec;
  localtime_r(&seconds, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The process's file-creation mask. umask() can only be read by setting it,
// which would race with other threads creating files, so read what the kernel
// reports instead.
mode_t CurrentUmask() {
  Fd fd(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
  char buffer[4096];
  ssize_t n = fd.ok() ? ::read(fd.get(), buffer, sizeof buffer - 1) : -1;
  if (n > 0) {
    buffer[n] = '\0';
    if (const char* line = ::strstr(buffer, "\nUmask:"))
      return static_cast<mode_t>(::strtoul(line + 7, nullptr, 8)) & 0777;
  }
  return 022;
}

}  // namespace

Text ExecutablePath() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0)
    return {};
  return Text(buffer, static_cast<size_t>(n));
}

Text CurrentDirectory() {
  char buffer[PATH_MAX];
  if (!::getcwd(buffer, sizeof buffer))
    return {};
  return buffer;
}

bool SetCurrentDirectory(const Text& path) {
  return ::chdir(path.c_str()) == 0;
}

std::optional<Entry> FindEntry(const Text& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0)
    return std::nullopt;
  Entry entry;
  entry.isDirectory = S_ISDIR(st.st_mode);
  entry.size = entry.isDirectory ? 0 : static_cast<std::uint64_t>(st.st_size);
  return entry;
}

bool ReadTimes(const Text& path, Times* times) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.ok())
    return false;
  struct statx sx {};
  if (::statx(fd.get(), "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
    return false;
  if (S_ISDIR(sx.stx_mode))
    return false;  // CreateFileA can't open a folder either
  auto ts = [](const struct statx_timestamp& t) {
    return timespec{static_cast<time_t>(t.tv_sec), static_cast<long>(t.tv_nsec)};
  };
  // Not every file system keeps a birth time; the last status change is the
  // nearest thing POSIX has.
  times->creation = ToLocal(ts((sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_ctime));
  times->lastAccess = ToLocal(ts(sx.stx_atime));
  times->lastWrite = ToLocal(ts(sx.stx_mtime));
  return true;
}

bool ReadWholeFile(const Text& path, Bytes* content) {
  content->clear();
  return AppendWholeFile(path, content);
}

bool AppendWholeFile(const Text& path, Bytes* content) {
  const size_t before = content->size();
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.ok())
    return false;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
    return false;
  // One more byte than the size, so a file that has not grown is known to be
  // at its end without a second allocation.
  size_t filled = before;
  try {
    content->resize(before + static_cast<size_t>(st.st_size) + 1);
    for (;;) {
      if (filled == content->size())
        content->resize(content->size() + (1 << 16));
      ssize_t n = ::read(fd.get(), content->data() + filled, content->size() - filled);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0) {
        content->resize(before);
        return false;
      }
      if (n == 0)
        break;
      filled += static_cast<size_t>(n);
    }
  } catch (const std::bad_alloc&) {
    // More than the memory holds: a failure like any other read error.
    content->resize(before);
    return false;
  }
  content->resize(filled);
  return true;
}

bool WriteFileAtomically(const Text& path, const Text& content, bool ownerOnly) {
  // mkstemp's file is owner-only and fchmod ignores the umask, so a new
  // file's mode is worked out here as open() would have done.
  mode_t mode = ownerOnly ? 0600 : 0666 & ~CurrentUmask();
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0)
    mode = existing.st_mode & 07777;
  Text temp = path + ".tmp-XXXXXX";
  Fd fd(::mkstemp(temp.data()));
  if (!fd.ok())
    return false;
  bool ok = ::fchmod(fd.get(), mode) == 0 && WriteAll(fd.get(), content.data(), content.size()) &&
            ::fsync(fd.get()) == 0;
  ok = (::close(fd.release()) == 0) && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0)
    return true;
  ::unlink(temp.c_str());
  return false;
}

bool DeleteFile(const Text& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
    return false;
  return ::unlink(path.c_str()) == 0;
}

}  // namespace qp::files
