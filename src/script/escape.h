#pragma once
// Turning the service's escaped answers into readable Text.

#include "platform/text.h"

namespace qp::script {

// Decodes what a single-quoted JavaScript string literal would (\" \\ \/ \n
// \t \xHH ...; "\u" is read as "%u") and then what the engine's unescape
// does (%uHHHH, %HH), returning Text in the Text code page. Apostrophes, line
// breaks of any kind, "{$}", "’" and a trailing backslash come back as they
// were; only a lone carriage return at the very start is dropped. Never
// fails: should the engine not run at all, the text comes back undecoded.
// COM is initialised and uninitialised once around the engine.
Text UnescapeText(const Text& text);

// The bytes read as UTF-16LE text (an odd last byte ignored), converted to the
// Text code page; "" when the stream object cannot be created.
Text Utf16BytesToText(const Bytes& bytes);

}  // namespace qp::script
