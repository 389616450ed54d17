#pragma once
// The process: its start-up, its command line, its run directory, its one
// worker thread and its end.

#include <functional>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace qp::process {

// What the system hands the program on its command line.
struct CommandLine {
  // Windows: the whole line as GetCommandLineA gives it, the program's own
  // path included; the program splits it itself.
  std::optional<Text> whole;
  // POSIX: the arguments after the program's path, already split by the
  // caller (a path may hold any byte but NUL, double quotes included).
  std::vector<Text> split;
};

// The platform's start-up, run once on the UI thread before anything else:
// initialises OLE on this thread, computes the run directory (the real
// executable's folder, also when it was started through a symbolic link) and
// makes it the current directory. On POSIX the arguments are kept as given,
// except that a relative one is made absolute against the folder the program
// was started in: the file manager and the shell hand over names relative to
// it, and the current directory is about to change.
void StartUp(int argc, char** argv);

// The command line as StartUp found it.
const CommandLine& GivenCommandLine();

// The folder that holds the running executable, without a trailing
// separator ("/" itself, or on Windows "C:", at the root). "" before StartUp.
const Text& RunDirectory();

// Sets what RunDirectory reports, for tests that stand in for StartUp.
void SetRunDirectory(const Text& folder);

// Makes each non-empty relative path of `args` absolute against `folder`.
// An empty argument stays empty: it names no file in any folder.
std::vector<Text> MakeAbsolute(std::vector<Text> args, const Text& folder);

// Starts `body` on a new thread that nobody waits for. false when the thread
// can't be started.
bool StartThread(std::function<void()> body);

// Ends the process at once with `exitCode`, from any thread: output is
// flushed, nothing else runs (the caller has released what it owns), and the
// other thread is not waited for, as ExitProcess does.
[[noreturn]] void Exit(int exitCode);

}  // namespace qp::process
