// quillpost-emulator: the service stand-in as a program, for the demo, the
// benchmark and trying Quillpost by hand. Serves until SIGINT or SIGTERM.

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "emulator/emulator.h"

namespace {

const char kUsage[] =
    "usage: quillpost-emulator [options]\n"
    "  --host ADDR             address to listen on (127.0.0.1)\n"
    "  --account-port N        web console origin port (0: any free port)\n"
    "  --upload-port N         upload endpoint origin port\n"
    "  --share-port N          share-link origin port\n"
    "  --account USER:PASS     an account that can sign in (repeatable)\n"
    "  --session NAME=VALUE    a cookie item accepted as signed in (repeatable)\n"
    "  --store DIR             keep uploaded files in DIR (default: memory)\n"
    "  --log FILE              append every request to FILE as JSON lines\n"
    "  --ready-file FILE       write the three origins to FILE once listening\n"
    "  --fault NAME            reject-sessions, fail-upload, fail-share, numeric-id,\n"
    "                          pretty, unescaped, gbk, stall=ENDPOINT, drop=ENDPOINT\n"
    "                          (repeatable; ENDPOINT: probe, login-page, login,\n"
    "                          upload, share-data, download)\n"
    "  --stall-seconds N       how long a stalled answer waits (3600)\n"
    "The request record is also served at GET /__requests on every origin.\n";

bool ApplyFault(const std::string& name, qp::emulator::Faults* f) {
  static const struct {
    const char* name;
    bool qp::emulator::Faults::*flag;
  } flags[] = {
      {"reject-sessions", &qp::emulator::Faults::rejectSessions},
      {"fail-upload", &qp::emulator::Faults::failUpload},
      {"fail-share", &qp::emulator::Faults::failShare},
      {"numeric-id", &qp::emulator::Faults::numericId},
      {"pretty", &qp::emulator::Faults::pretty},
      {"unescaped", &qp::emulator::Faults::unescaped},
      {"gbk", &qp::emulator::Faults::gbkConsole},
  };
  for (const auto& entry : flags) {
    if (name == entry.name) {
      f->*entry.flag = true;
      return true;
    }
  }
  qp::emulator::Endpoint endpoint;
  for (const char* prefix : {"stall=", "drop="}) {
    size_t n = std::strlen(prefix);
    if (name.compare(0, n, prefix) == 0 && qp::emulator::ParseEndpoint(name.substr(n), &endpoint)) {
      (prefix[0] == 's' ? f->stall : f->drop).push_back(endpoint);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  qp::emulator::Options options;
  std::string log, readyFile;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "quillpost-emulator: %s needs a value\n%s", arg.c_str(), kUsage);
      return 2;
    }
    std::string value = argv[++i];
    if (arg == "--host") {
      options.host = value;
    } else if (arg == "--account-port") {
      options.accountPort = std::atoi(value.c_str());
    } else if (arg == "--upload-port") {
      options.uploadPort = std::atoi(value.c_str());
    } else if (arg == "--share-port") {
      options.sharePort = std::atoi(value.c_str());
    } else if (arg == "--account" && value.find(':') != std::string::npos) {
      options.accounts[value.substr(0, value.find(':'))] = value.substr(value.find(':') + 1);
    } else if (arg == "--session") {
      options.sessions.push_back(value);
    } else if (arg == "--store") {
      options.storeDir = value;
    } else if (arg == "--log") {
      log = value;
    } else if (arg == "--ready-file") {
      readyFile = value;
    } else if (arg == "--fault" && ApplyFault(value, &options.faults)) {
    } else if (arg == "--stall-seconds") {
      options.faults.stallSeconds = std::atoi(value.c_str());
    } else {
      std::fprintf(stderr, "quillpost-emulator: bad option %s %s\n%s", arg.c_str(), value.c_str(),
                   kUsage);
      return 2;
    }
  }

  // Block the stop signals before the server threads start, so only the wait
  // below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  qp::emulator::Emulator emulator(options);
  if (!log.empty())
    emulator.SetRequestLog(log);
  if (!emulator.Start()) {
    std::fprintf(stderr, "quillpost-emulator: %s\n", emulator.error().c_str());
    return 1;
  }
  using qp::emulator::Origin;
  std::string origins = "account " + emulator.origin(Origin::kAccount) + "\nupload " +
                        emulator.origin(Origin::kUpload) + "\nshare " +
                        emulator.origin(Origin::kShare) + "\n";
  std::fputs(origins.c_str(), stderr);
  if (!readyFile.empty()) {
    std::ofstream(readyFile + ".tmp") << origins;
    std::rename((readyFile + ".tmp").c_str(), readyFile.c_str());
  }
  int signal = 0;
  sigwait(&stopSignals, &signal);
  emulator.Stop();
  return 0;
}
