#pragma once
// The facts about a local file that the service's upload form asks for
// besides its bytes, in the exact textual forms the form receives.

#include <cstdint>

#include "platform/text.h"

namespace qp::cloud {

// The creation, last-write and last-access times of the file as local
// "yyyy-MM-dd HH:mm:ss" texts. A last access at exactly midnight is the date
// and a blank (file systems that keep only the day give that time). false when
// the file can't be opened for reading (missing, a folder, no permission); the
// three texts are then left exactly as they were.
bool GetFileTimeTexts(const Text& path, Text* creation, Text* lastWrite, Text* lastAccess);

// The last component of `path`, with or without its extension; "" for a path
// that ends in a separator. Multi-byte characters are stepped over whole, so a
// GBK trail byte is never taken for a backslash.
Text FileNameOfPath(const Text& path, bool keepExtension);

// The extension of a path or name with its leading dot, as PathFindExtensionA
// finds it: from the last dot after the last separator or blank; "" if none.
Text ExtensionOfPath(const Text& path);

// The size in KiB, rounded up, from the full 64-bit size (a folder counts 0);
// -1 when no such entry exists.
std::int64_t FileSizeKiB(const Text& path);

// The UTF-8 bytes of `text` (in the Text code page), without terminator or
// byte-order mark. When `text` is empty, `utf16` (UTF-16LE, an odd last byte
// ignored) is converted instead.
Bytes TextToUtf8(const Text& text, const Bytes& utf16 = {});

}  // namespace qp::cloud
