#pragma once
// The service's own texts are written in UTF-8 in the source and reach Text
// through the one conversion of the platform.

#include "platform/codepage.h"

namespace qp::cloud {

using codepage::SystemText;

}  // namespace qp::cloud
