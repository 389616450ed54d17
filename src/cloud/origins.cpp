#include "cloud/origins.h"

#include <utility>

namespace qp::cloud {
namespace {

ServiceOrigins& Current() {
  static ServiceOrigins origins{QUILLPOST_ACCOUNT_ORIGIN, QUILLPOST_UPLOAD_ORIGIN,
                                QUILLPOST_SHARE_ORIGIN};
  return origins;
}

}  // namespace

const ServiceOrigins& Origins() {
  return Current();
}

ScopedOrigins::ScopedOrigins(ServiceOrigins origins) : previous_(Current()) {
  Current() = std::move(origins);
}

ScopedOrigins::~ScopedOrigins() {
  Current() = std::move(previous_);
}

}  // namespace qp::cloud
