// Downloads and uploads 100 MB through HttpRequest on loopback, side by side
// with the curl command line against the same server. Each client runs as a
// child process so its wall time and peak memory (ru_maxrss) are its own.
//
//   http_bench [megabytes]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "http/http_request.h"
#include "loopback_server.h"

namespace {

std::size_t Payload(int megabytes) {
  return static_cast<std::size_t>(megabytes) << 20;
}

// The transport alone, draining the body and keeping none of it: what the
// WinHTTP stand-in costs before HttpRequest holds and decodes the body.
int RunTransportClient(const std::string& url, std::size_t size) {
  using namespace qp::winhttp;
  Api& api = SystemApi();
  const std::u16string wide(url.begin(), url.end());
  UrlComponents parts;
  parts.hostNameLength = parts.urlPathLength = kWantPart;
  if (!api.WinHttpCrackUrl(wide.c_str(), 0, 0, &parts))
    return 1;
  const std::u16string host(parts.hostName, parts.hostNameLength);
  const std::u16string object(parts.urlPath, parts.urlPathLength);
  Handle session(api, api.WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
  Handle connect(api, api.WinHttpConnect(session.get(), host.c_str(), parts.port, 0));
  Handle request(api, api.WinHttpOpenRequest(connect.get(), u"GET", object.c_str(), nullptr,
                                             nullptr, nullptr, 0));
  if (!api.WinHttpSendRequest(request.get(), nullptr, 0, nullptr, 0, 0, 0) ||
      !api.WinHttpReceiveResponse(request.get(), nullptr))
    return 1;
  std::vector<char> buffer;
  std::size_t total = 0;
  std::uint32_t available = 0;
  while (api.WinHttpQueryDataAvailable(request.get(), &available) && available > 0) {
    buffer.resize(std::max<std::size_t>(buffer.size(), available));
    std::uint32_t read = 0;
    if (!api.WinHttpReadData(request.get(), buffer.data(), available, &read))
      return 1;
    total += read;
  }
  return total == size ? 0 : 1;
}

// The child: one request through HttpRequest, as the program makes it.
int RunClient(const std::string& mode, const std::string& url, const std::string& file,
              std::size_t size) {
  qp::Text status;
  if (mode == "transport")
    return RunTransportClient(url, size);
  if (mode == "download") {
    const qp::Text body = qp::http::HttpRequest({.url = url, .statusText = &status});
    std::printf("%zu bytes, %s\n", body.size(), status.c_str());
    return body.size() == size ? 0 : 1;
  }
  // The upload reads the file into memory first, as the program does.
  std::ifstream in(file, std::ios::binary);
  qp::Bytes body(size);
  in.read(reinterpret_cast<char*>(body.data()), static_cast<std::streamsize>(size));
  const qp::Text answer =
      qp::http::HttpRequest({.url = url, .method = 1, .statusText = &status, .bodyBytes = &body});
  std::printf("%s, %s\n", answer.c_str(), status.c_str());
  return answer == std::to_string(size) ? 0 : 1;
}

struct Measure {
  double seconds = 0;
  long peakKiB = 0;
  int exitCode = -1;
};

Measure RunChild(const std::vector<std::string>& argv) {
  std::fflush(stdout);  // or the child would print our buffer again
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // The clients' own output is not part of the report.
    std::freopen("/dev/null", "w", stdout);
    execvp(args[0], args.data());
    _exit(127);
  }
  Measure m;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.peakKiB = usage.ru_maxrss;
  m.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--client")
    return RunClient(argv[2], argv[3], argv[4], std::stoul(argv[5]));

  const int megabytes = argc > 1 ? std::atoi(argv[1]) : 100;
  const std::size_t size = Payload(megabytes);

  qp::testing::LoopbackServer server;
  server.server().Get("/download", [size](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(size, "application/octet-stream",
                             [](size_t offset, size_t length, httplib::DataSink& sink) {
                               std::string chunk(std::min<size_t>(length, 1 << 20), '\0');
                               for (std::size_t i = 0; i < chunk.size(); ++i)
                                 chunk[i] = static_cast<char>('a' + (offset + i) % 26);
                               sink.write(chunk.data(), chunk.size());
                               return true;
                             });
  });
  server.server().Post("/upload", [](const httplib::Request&, httplib::Response& res,
                                     const httplib::ContentReader& reader) {
    std::size_t received = 0;
    reader([&](const char*, size_t length) {
      received += length;
      return true;
    });
    res.set_content(std::to_string(received), "text/plain");
  });
  if (server.Start() == 0) {
    std::fprintf(stderr, "cannot start the loopback server\n");
    return 1;
  }

  char uploadFile[] = "/tmp/quillpost-bench-XXXXXX";
  const int fd = mkstemp(uploadFile);
  {
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
      block[i] = static_cast<char>('a' + i % 26);
    for (int i = 0; i < megabytes; ++i)
      (void)!write(fd, block.data(), block.size());
    close(fd);
  }

  const std::string self = "/proc/self/exe";
  char path[4096];
  const ssize_t n = readlink(self.c_str(), path, sizeof path - 1);
  const std::string exe(path, n > 0 ? n : 0);
  const std::string download = server.Origin() + "/download";
  const std::string upload = server.Origin() + "/upload";
  const std::string bytes = std::to_string(size);

  struct Row {
    const char* what;
    std::vector<std::string> quillpost, curl;
  } rows[] = {
      {"download",
       {exe, "--client", "download", download, "", bytes},
       {"curl", "-sS", "-o", "/dev/null", download}},
      {"download, transport only",
       {exe, "--client", "transport", download, "", bytes},
       {"curl", "-sS", "-o", "/dev/null", download}},
      {"upload",
       {exe, "--client", "upload", upload, uploadFile, bytes},
       {"curl", "-sS", "-o", "/dev/null", "-X", "POST", "-H", "Expect:", "-T", uploadFile, upload}},
  };
  std::printf("%d MB on loopback; each client a child process (wall time, peak RSS)\n", megabytes);
  std::printf("%-25s %12s %12s %12s %12s %8s\n", "", "HttpRequest", "peak MiB", "curl", "peak MiB",
              "ratio");
  int failures = 0;
  for (const Row& row : rows) {
    // One warm-up each, then the better of three.
    Measure best[2];
    for (int side = 0; side < 2; ++side) {
      const auto& argv = side == 0 ? row.quillpost : row.curl;
      RunChild(argv);
      for (int i = 0; i < 3; ++i) {
        Measure m = RunChild(argv);
        failures += m.exitCode != 0;
        if (i == 0 || m.seconds < best[side].seconds)
          best[side] = m;
      }
    }
    std::printf("%-25s %11.3fs %12.1f %11.3fs %12.1f %7.2fx\n", row.what, best[0].seconds,
                best[0].peakKiB / 1024.0, best[1].seconds, best[1].peakKiB / 1024.0,
                best[0].seconds / best[1].seconds);
  }
  unlink(uploadFile);
  if (failures)
    std::printf("%d client runs failed\n", failures);
  return failures ? 1 : 0;
}
