#pragma once
// An HTTP or HTTPS server on 127.0.0.1 for tests: register handlers on
// server(), then Start(); the destructor releases stalled handlers and stops.

// Debian builds cpp-httplib as a library with TLS, zlib and brotli; its
// pkg-config flags (qp_test_support) must match that build.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace qp::testing {

class LoopbackServer {
 public:
  // A plain HTTP server.
  LoopbackServer() : server_(std::make_unique<httplib::Server>()) { Configure(); }
  // An HTTPS server with this certificate and key (PEM files).
  LoopbackServer(const std::string& certFile, const std::string& keyFile)
      : server_(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())) {
    Configure();
  }
  ~LoopbackServer() { Stop(); }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  httplib::Server& server() { return *server_; }

  // Binds a free port and serves on a thread; returns the port, 0 on failure.
  int Start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
      return 0;
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return port_;
  }

  void Stop() {
    stopping_ = true;
    if (thread_.joinable()) {
      server_->stop();
      thread_.join();
    }
  }

  int port() const { return port_; }
  std::string Origin(const char* scheme = "http") const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
  }

  // For handlers that stall: sleeps up to `ms`, less when the server stops.
  void Stall(int ms) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping_ && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

 private:
  void Configure() {
    server_->set_keep_alive_timeout(1);
    server_->set_payload_max_length(1ull << 40);
  }

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
};

}  // namespace qp::testing
