#pragma once
// Turning the service's escaped answers into readable Text.

#include "platform/text.h"

namespace qp::script {

// Decodes what a single-quoted JavaScript string literal would (\" \\ \/ \n
// \t \xHH \uHHHH ...) and then what the engine's unescape does (%uHHHH,
// %HH), returning Text in the Text code page. CR LF pairs, a leading lone CR
// and apostrophes survive as they were. A text that is not a legal literal
// even after that protection (a lone line feed, a trailing backslash) is
// decoded all the same rather than read as UTF-16. Never fails; returns the
// input when there is nothing to decode.
// COM is initialised and uninitialised once around the engine.
Text UnescapeText(const Text& text);

// The bytes read as UTF-16LE text (an odd last byte ignored), converted to the
// Text code page; "" when the stream object cannot be created.
Text Utf16BytesToText(const Bytes& bytes);

}  // namespace qp::script
