#pragma once
// The in-process classes behind AutomationObject::Create.

#include <memory>
#include <string_view>

#include "script/dispatch.h"

namespace qp::script {

// A new instance of the class named by `progId` (ProgID or braced CLSID,
// case-insensitive); null for a class this program does not provide.
std::shared_ptr<Dispatch> CreateInProcessClass(std::string_view progId);

}  // namespace qp::script
