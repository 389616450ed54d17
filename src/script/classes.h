#pragma once
// The in-process classes behind AutomationObject::Create.

#include <memory>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/text.h"
#include "script/dispatch.h"

namespace qp::script {

// A new instance of the class named by `progId` (ProgID or braced CLSID,
// case-insensitive); null for a class this program does not provide.
std::shared_ptr<Dispatch> CreateInProcessClass(std::string_view progId);

std::shared_ptr<Dispatch> CreateRegExp();
std::shared_ptr<Dispatch> CreateScriptControl();
std::shared_ptr<Dispatch> CreateStream();

// Texts cross the automation layer in the Text code page and live in the
// engine as UTF-16.
inline std::u16string ToUnits(const Text& text) {
  return codepage::ToUtf16(text, codepage::TextCodePage());
}
inline Text FromUnits(std::u16string_view units) {
  return codepage::FromUtf16(units, codepage::TextCodePage());
}

}  // namespace qp::script
