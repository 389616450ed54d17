#include <unistd.h>

#include <cstdio>
#include <thread>

#include "platform/com.h"
#include "platform/files.h"
#include "platform/process.h"

namespace qp::process {
namespace {

CommandLine command_line;
Text run_directory;

// The executable's folder: its path cut at the last separator, "/" at the
// root.
Text FolderOf(const Text& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == Text::npos)
    return {};
  return slash == 0 ? Text("/") : path.substr(0, slash);
}

}  // namespace

void StartUp(int argc, char** argv) {
  // OleInitialize on the UI thread; the POSIX stand-in only counts it.
  com::Initialize();
  std::vector<Text> args;
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
  command_line.split = MakeAbsolute(std::move(args), files::CurrentDirectory());
  run_directory = FolderOf(files::ExecutablePath());
  if (!run_directory.empty())
    files::SetCurrentDirectory(run_directory);
}

const CommandLine& GivenCommandLine() {
  return command_line;
}

const Text& RunDirectory() {
  return run_directory;
}

void SetRunDirectory(const Text& folder) {
  run_directory = folder;
}

std::vector<Text> MakeAbsolute(std::vector<Text> args, const Text& folder) {
  for (Text& arg : args) {
    if (arg.empty() || arg[0] == '/' || folder.empty())
      continue;
    arg = folder + (folder.back() == '/' ? "" : "/") + arg;
  }
  return args;
}

bool StartThread(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void Exit(int exitCode) {
  std::fflush(nullptr);
  ::_exit(exitCode);
}

}  // namespace qp::process
