// Publishing a file with Quillpost next to posting the same upload form with
// curl, against the service emulator on loopback: wall time and peak memory
// of each, per file size.
//
//   publish_bench [SIZE_MB ...]     (default: 1 100 1024)
//
// Quillpost's time is taken to the moment its link arrives on standard output
// (after the session probe, the upload and the share lookup; the three-second
// confirmation pause that follows is left out). curl sends the upload alone,
// streaming the file from disk.

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "run.h"

extern char** environ;

namespace {

int LoopbackPort(const std::string& origin) {
  const std::string prefix = "http://127.0.0.1:";
  if (origin.compare(0, prefix.size(), prefix) != 0)
    return 0;
  return std::atoi(origin.c_str() + prefix.size());
}

bool WriteRandomFile(const std::string& path, long long bytes) {
  std::ofstream out(path, std::ios::binary);
  std::mt19937_64 random(42);
  std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
  for (long long left = bytes; left > 0;) {
    for (auto& word : block)
      word = random();
    long long n = std::min<long long>(left, static_cast<long long>(block.size() * 8));
    out.write(reinterpret_cast<const char*>(block.data()), n);
    left -= n;
  }
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  int ports[3] = {LoopbackPort(QUILLPOST_ACCOUNT_ORIGIN), LoopbackPort(QUILLPOST_UPLOAD_ORIGIN),
                  LoopbackPort(QUILLPOST_SHARE_ORIGIN)};
  if (!ports[0] || !ports[1] || !ports[2]) {
    std::fprintf(stderr,
                 "publish_bench: this build talks to the real service; use scripts/bench\n");
    return 1;
  }
  std::vector<long long> sizesMb;
  for (int i = 1; i < argc; ++i)
    sizesMb.push_back(std::atoll(argv[i]));
  if (sizesMb.empty())
    sizesMb = {1, 100, 1024};

  char pattern[] = "/tmp/qp-bench-XXXXXX";
  std::string dir = ::mkdtemp(pattern);
  std::string store = dir + "/store";
  ::mkdir(store.c_str(), 0700);
  std::string exe = dir + "/quillpost";
  std::system(("cp '" QUILLPOST_EXE "' '" + exe + "'").c_str());
  std::ofstream(dir + "/设置.ini") << "[lanzouyun]\ncookies=phpdisk_info=bench\n";

  // The emulator runs as its own process: Linux counts a spawned child's peak
  // memory from the spawning process's at the time of the spawn, so this
  // process stays small while the emulator holds the uploads.
  std::string ready = dir + "/ready";
  const char* emulatorArgv[] = {QUILLPOST_EMULATOR_EXE,
                                "--account-port",
                                nullptr,
                                "--upload-port",
                                nullptr,
                                "--share-port",
                                nullptr,
                                "--session",
                                "phpdisk_info=bench",
                                "--store",
                                store.c_str(),
                                "--ready-file",
                                ready.c_str(),
                                nullptr};
  std::string p0 = std::to_string(ports[0]), p1 = std::to_string(ports[1]),
              p2 = std::to_string(ports[2]);
  emulatorArgv[2] = p0.c_str();
  emulatorArgv[4] = p1.c_str();
  emulatorArgv[6] = p2.c_str();
  pid_t emulator = 0;
  if (posix_spawn(&emulator, emulatorArgv[0], nullptr, nullptr,
                  const_cast<char* const*>(emulatorArgv), environ) != 0) {
    std::fprintf(stderr, "publish_bench: cannot start the emulator\n");
    return 1;
  }
  for (int i = 0; i < 100 && ::access(ready.c_str(), F_OK) != 0; ++i)
    ::usleep(100000);

  std::printf("%8s | %12s %12s %7s | %14s %14s\n", "size", "quillpost", "curl -F", "ratio",
              "quillpost RSS", "curl RSS");
  int failures = 0;
  for (long long mb : sizesMb) {
    std::string file = dir + "/sample-" + std::to_string(mb) + "MB.bin";
    if (!WriteRandomFile(file, mb << 20)) {
      std::fprintf(stderr, "publish_bench: cannot write %s\n", file.c_str());
      return 1;
    }
    qp::testing::RunResult q =
        qp::testing::Run({{exe, file}, dir, {"DISPLAY", "WAYLAND_DISPLAY"}, 3600});
    std::string form =
        "-F task=1 -F folder_id=-1 -F id=WU_FILE_0 -F name=sample.bin "
        "-F type=application/octet-stream -F 'lastModifiedDate=2020-02-02 09:05:03' "
        "-F size=" +
        std::to_string(mb * 1024) + " -F 'upload_file=@" + file + ";type=application/octet-stream'";
    qp::testing::RunResult c =
        qp::testing::Run({{"/bin/sh", "-c",
                           "exec curl -s -S -o /dev/null -H 'Cookie: phpdisk_info=bench' " + form +
                               " " + QUILLPOST_UPLOAD_ORIGIN + "/fileup.php"},
                          dir,
                          {},
                          3600});
    bool ok = q.exitCode == 0 && q.out.rfind("http://", 0) == 0 && c.exitCode == 0;
    if (!ok) {
      ++failures;
      std::fprintf(stderr, "publish_bench: %lld MB failed\nquillpost: %s%s\ncurl: %s\n", mb,
                   q.out.c_str(), q.err.c_str(), c.err.c_str());
    }
    double qs = q.firstLine.count() / 1000.0, cs = c.elapsed.count() / 1000.0;
    std::printf("%6lldMB | %11.3fs %11.3fs %7.2f | %11ld KiB %11ld KiB\n", mb, qs, cs,
                cs > 0 ? qs / cs : 0.0, q.maxRssKiB, c.maxRssKiB);
    std::fflush(stdout);
    std::remove(file.c_str());
    std::system(("rm -f '" + store + "'/*").c_str());
  }
  ::kill(emulator, SIGTERM);
  int status;
  ::waitpid(emulator, &status, 0);
  std::system(("rm -rf '" + dir + "'").c_str());
  return failures ? 1 : 0;
}
