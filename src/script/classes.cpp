#include "script/classes.h"

// First commit: no class is provided yet.

namespace qp::script {

std::shared_ptr<Dispatch> CreateInProcessClass(std::string_view) {
  return nullptr;
}

}  // namespace qp::script
