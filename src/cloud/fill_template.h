#pragma once
// Filling the bracketed placeholders of a text template.

#include <optional>
#include <vector>

#include "platform/text.h"

namespace qp::cloud {

struct Replacement {
  Text placeholder;  // empty: the pair changes nothing
  Text value;
};

struct FillOptions {
  // How many occurrences of each placeholder to replace; none: every one.
  std::optional<int> count;
  // 1-based byte position where the search starts; 0: the first character.
  // Text before it is kept as it is.
  int start = 0;
  // false: ASCII letters match without regard to case.
  bool caseSensitive = false;
};

// Applies the pairs one after another, each to the result of the previous one.
// Each replaces the occurrences of its placeholder left to right, without
// rescanning inserted values; a match never starts inside a multi-byte
// character.
Text FillTemplate(const Text& text, const std::vector<Replacement>& pairs,
                  const FillOptions& options = {});

}  // namespace qp::cloud
