#pragma once
// The service's own texts are written in UTF-8 in the source and reach Text
// through this one conversion.

#include <string_view>

#include "platform/codepage.h"
#include "platform/text.h"

namespace qp::cloud {

inline Text SystemText(std::string_view utf8) {
  if (codepage::TextCodePage() == codepage::kUtf8)
    return Text(utf8);
  return codepage::Convert(utf8, codepage::kUtf8, codepage::TextCodePage());
}

}  // namespace qp::cloud
