#pragma once
// The inside of the automation layer: what an in-process class implements so
// that an AutomationObject can reach it by member name.

#include <span>
#include <string_view>

#include "script/automation_object.h"

namespace qp::script {

class Dispatch {
 public:
  enum class Access { kGet, kPut, kCall };

  virtual ~Dispatch() = default;

  // Reads, writes or calls the member `name` (compare it case-insensitively).
  // A put passes the new value as the one argument. Returns false for an
  // unknown member, refused arguments or a failure inside the object; `result`
  // is then left empty. Getting and calling are the same for most members, as
  // with IDispatch's DISPATCH_PROPERTYGET | DISPATCH_METHOD.
  virtual bool Invoke(Access access, std::string_view name, std::span<const Variant> arguments,
                      Variant* result) = 0;
};

// ASCII case-insensitive equality, for member names, ProgIDs and charsets.
bool SameName(std::string_view a, std::string_view b);

}  // namespace qp::script
