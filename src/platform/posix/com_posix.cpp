#include "platform/com.h"

namespace qp::com {
namespace {
// The POSIX stand-in has no apartments; the counter keeps the callers honest.
thread_local int count = 0;
}  // namespace

bool Initialize() {
  ++count;
  return true;
}

void Uninitialize() {
  if (count > 0)
    --count;
}

int InitializeCount() {
  return count;
}

}  // namespace qp::com
