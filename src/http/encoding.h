#pragma once
// Text to and from the UTF-16 strings the transport takes and gives.

#include "platform/text.h"

namespace qp::http {

// The text, up to its first NUL, as UTF-16LE bytes in the Text code page's
// reading, ending with one NUL unit unless `dropTerminator`. An empty text
// gives empty bytes, terminator or not.
Bytes AnsiToUtf16(const Text& text, bool dropTerminator = false);

// UTF-16LE bytes (an odd last byte ignored, up to the first NUL unit) in the
// Text code page; characters the code page lacks become '?'.
Text Utf16ToAnsi(const Bytes& utf16);

}  // namespace qp::http
