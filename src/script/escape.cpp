#include "script/escape.h"

// First commit: the interface only.

namespace qp::script {

Text UnescapeText(const Text& text) {
  return text;
}
Text Utf16BytesToText(const Bytes&) {
  return {};
}

}  // namespace qp::script
