#pragma once
// Files and folders as the program sees them: the executable's folder, the
// current directory, directory entries, file times, whole-file reads and
// writes, deletion.

#include <cstdint>
#include <optional>

#include "platform/text.h"

namespace qp::files {

// The separator the system's paths use: '\' on Windows, '/' on POSIX.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The running executable's full path, links resolved; "" when unknown.
Text ExecutablePath();
Text CurrentDirectory();
bool SetCurrentDirectory(const Text& path);

// What a directory search (FindFirstFileA) reports for a path naming one entry.
struct Entry {
  bool isDirectory = false;
  std::uint64_t size = 0;  // 0 for folders
};
std::optional<Entry> FindEntry(const Text& path);

// A local wall-clock time, as FileTimeToSystemTime gives it after
// FileTimeToLocalFileTime.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
struct Times {
  LocalTime creation, lastAccess, lastWrite;
};
// Opens the file for reading, sharing reading only, and reads its three times.
// false when it can't be opened (missing, a folder, no permission).
bool ReadTimes(const Text& path, Times* times);

// Reads the whole file; false when it can't be opened or read (a folder
// included), with `content` then unspecified.
bool ReadWholeFile(const Text& path, Bytes* content);

// Appends the whole file to `content`, reading straight into it (a large file
// is held once, not twice); false when it can't be opened or read (a folder
// included), with `content` then as it was.
bool AppendWholeFile(const Text& path, Bytes* content);

// Replaces the file's content all at once: a reader sees the old file or the
// new one, never a part. A new file is readable by its owner only when
// `ownerOnly` is set; an existing file keeps its permissions.
bool WriteFileAtomically(const Text& path, const Text& content, bool ownerOnly);

// DeleteFileA: false when there was nothing to delete or it can't be deleted.
bool DeleteFile(const Text& path);

}  // namespace qp::files
