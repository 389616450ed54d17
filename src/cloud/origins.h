#pragma once
// The three origins of the service, fixed at build time (the build options
// QUILLPOST_ACCOUNT_ORIGIN, QUILLPOST_UPLOAD_ORIGIN, QUILLPOST_SHARE_ORIGIN).

#include "platform/text.h"

namespace qp::cloud {

struct ServiceOrigins {
  Text account;  // the web console
  Text upload;   // the upload endpoint
  Text share;    // public share links
};

const ServiceOrigins& Origins();

// Points the client at other origins for one scope: tests run the service
// emulator on free loopback ports. Not for use while requests are in flight.
class ScopedOrigins {
 public:
  explicit ScopedOrigins(ServiceOrigins origins);
  ~ScopedOrigins();
  ScopedOrigins(const ScopedOrigins&) = delete;
  ScopedOrigins& operator=(const ScopedOrigins&) = delete;

 private:
  ServiceOrigins previous_;
};

}  // namespace qp::cloud
