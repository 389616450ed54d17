#pragma once
// A WinHTTP transport that forwards to a real one, records what it was asked
// to set, and fails the one call a test names.

#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/winhttp.h"

namespace qp::testing {

class FaultInjectingWinHttp : public winhttp::Api {
 public:
  explicit FaultInjectingWinHttp(winhttp::Api& real) : real_(real) {}

  // The call to fail, by its WinHTTP name ("WinHttpConnect", ...); "" for none.
  std::string failCall;
  // WinHttpReadData fails after this many successful reads (-1: never).
  int readsBeforeFailure = -1;

  // What the caller set, in order.
  std::vector<std::array<int, 4>> timeouts;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> options;  // option, value
  std::vector<std::uint32_t> credentialTargets;
  std::vector<std::u16string> headerBlocks;
  int closed = 0;

  bool WinHttpCheckPlatform() override {
    return !Fails("WinHttpCheckPlatform") && real_.WinHttpCheckPlatform();
  }
  bool WinHttpCrackUrl(const char16_t* url, std::uint32_t length, std::uint32_t flags,
                       winhttp::UrlComponents* components) override {
    return !Fails("WinHttpCrackUrl") && real_.WinHttpCrackUrl(url, length, flags, components);
  }
  winhttp::HINTERNET WinHttpOpen(const char16_t* agent, std::uint32_t accessType,
                                 const char16_t* proxyName, const char16_t* proxyBypass,
                                 std::uint32_t flags) override {
    return Fails("WinHttpOpen")
               ? nullptr
               : real_.WinHttpOpen(agent, accessType, proxyName, proxyBypass, flags);
  }
  bool WinHttpSetTimeouts(winhttp::HINTERNET handle, int resolve, int connect, int send,
                          int receive) override {
    timeouts.push_back({resolve, connect, send, receive});
    return !Fails("WinHttpSetTimeouts") &&
           real_.WinHttpSetTimeouts(handle, resolve, connect, send, receive);
  }
  winhttp::HINTERNET WinHttpConnect(winhttp::HINTERNET session, const char16_t* server,
                                    std::uint16_t port, std::uint32_t reserved) override {
    return Fails("WinHttpConnect") ? nullptr
                                   : real_.WinHttpConnect(session, server, port, reserved);
  }
  winhttp::HINTERNET WinHttpOpenRequest(winhttp::HINTERNET connect, const char16_t* verb,
                                        const char16_t* object, const char16_t* version,
                                        const char16_t* referrer, const char16_t** acceptTypes,
                                        std::uint32_t flags) override {
    return Fails("WinHttpOpenRequest") ? nullptr
                                       : real_.WinHttpOpenRequest(connect, verb, object, version,
                                                                  referrer, acceptTypes, flags);
  }
  bool WinHttpSetCredentials(winhttp::HINTERNET request, std::uint32_t targets,
                             std::uint32_t scheme, const char16_t* user, const char16_t* password,
                             void* params) override {
    credentialTargets.push_back(targets);
    return !Fails("WinHttpSetCredentials") &&
           real_.WinHttpSetCredentials(request, targets, scheme, user, password, params);
  }
  bool WinHttpSetOption(winhttp::HINTERNET handle, std::uint32_t option, const void* buffer,
                        std::uint32_t length) override {
    std::uint32_t value = 0;
    if (buffer && length == sizeof value)
      std::memcpy(&value, buffer, sizeof value);
    options.emplace_back(option, value);
    return !Fails("WinHttpSetOption") && real_.WinHttpSetOption(handle, option, buffer, length);
  }
  bool WinHttpAddRequestHeaders(winhttp::HINTERNET request, const char16_t* headers,
                                std::uint32_t length, std::uint32_t modifiers) override {
    headerBlocks.emplace_back(headers ? std::u16string(headers, length) : u"");
    return !Fails("WinHttpAddRequestHeaders") &&
           real_.WinHttpAddRequestHeaders(request, headers, length, modifiers);
  }
  bool WinHttpSendRequest(winhttp::HINTERNET request, const char16_t* headers,
                          std::uint32_t headersLength, const void* optional,
                          std::uint32_t optionalLength, std::uint32_t totalLength,
                          std::uintptr_t context) override {
    return !Fails("WinHttpSendRequest") &&
           real_.WinHttpSendRequest(request, headers, headersLength, optional, optionalLength,
                                    totalLength, context);
  }
  bool WinHttpReceiveResponse(winhttp::HINTERNET request, void* reserved) override {
    return !Fails("WinHttpReceiveResponse") && real_.WinHttpReceiveResponse(request, reserved);
  }
  bool WinHttpQueryDataAvailable(winhttp::HINTERNET request, std::uint32_t* available) override {
    return !Fails("WinHttpQueryDataAvailable") &&
           real_.WinHttpQueryDataAvailable(request, available);
  }
  bool WinHttpReadData(winhttp::HINTERNET request, void* buffer, std::uint32_t toRead,
                       std::uint32_t* read) override {
    if (readsBeforeFailure == 0) {
      error_ = winhttp::ERROR_WINHTTP_CONNECTION_ERROR;
      return false;
    }
    if (readsBeforeFailure > 0)
      --readsBeforeFailure;
    return !Fails("WinHttpReadData") && real_.WinHttpReadData(request, buffer, toRead, read);
  }
  bool WinHttpQueryHeaders(winhttp::HINTERNET request, std::uint32_t infoLevel,
                           const char16_t* name, void* buffer, std::uint32_t* bufferLength,
                           std::uint32_t* index) override {
    // The size query is let through, so the call that fails is the read.
    if (buffer && Fails("WinHttpQueryHeaders"))
      return false;
    return real_.WinHttpQueryHeaders(request, infoLevel, name, buffer, bufferLength, index);
  }
  bool WinHttpCloseHandle(winhttp::HINTERNET handle) override {
    ++closed;
    return real_.WinHttpCloseHandle(handle);
  }
  std::uint32_t GetLastError() override { return error_ ? error_ : real_.GetLastError(); }

 private:
  bool Fails(const char* call) {
    error_ = 0;
    if (failCall != call)
      return false;
    error_ = winhttp::ERROR_WINHTTP_INTERNAL_ERROR;
    return true;
  }

  winhttp::Api& real_;
  std::uint32_t error_ = 0;
};

}  // namespace qp::testing
