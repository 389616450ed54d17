#pragma once
// Text to and from the UTF-16 strings the transport takes and gives, and the
// response body turned into Text.

#include "platform/text.h"
#include "script/regex_object.h"

namespace qp::http {

// The text, up to its first NUL, as UTF-16LE bytes in the Text code page's
// reading, ending with one NUL unit unless `dropTerminator`. An empty text
// gives empty bytes, terminator or not.
Bytes AnsiToUtf16(const Text& text, bool dropTerminator = false);

// UTF-16LE bytes (an odd last byte ignored, up to the first NUL unit) in the
// Text code page; characters the code page lacks become '?'.
Text Utf16ToAnsi(const Bytes& utf16);

// The body up to its first zero byte, taken as Text unchanged, unless an HTML
// meta tag in its first 1024 bytes declares a charset other than the Text
// code page's own names: then the whole body is decoded from that charset
// through an "Adodb.Stream" (a stream that fails to read gives ""). `regex` is
// the request's own expression object.
Text DecodeResponseText(const Bytes& body, script::RegexObject& regex);

}  // namespace qp::http
