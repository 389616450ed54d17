#pragma once
// Regular-expression search and replace over Text, driven through the
// "VBScript.RegExp" automation object (ECMAScript semantics, run by the
// embedded engine). The object keeps the match collection of its last Search
// so later calls read matches and captured groups out of it.
//
// Match and group numbers are 1-based. Positions are 0-based byte offsets into
// the subject as Text (in the Text code page), whatever unit the expression
// object counts in.
//
// The public members follow the class's operation order: Destroy (the
// destructor), Copy, Search, Reserved, GetPattern, ReplaceMatches, MatchCount,
// MatchText, SubMatchText, SubMatchCount.
//
// COM: construction (and Copy) initialises COM on the calling thread once, the
// destructor uninitialises it once. An object belongs to its thread.

#include <optional>

#include "platform/text.h"
#include "script/automation_object.h"

namespace qp::script {

class RegexObject {
 public:
  RegexObject();
  // Destroy: releases the expression and matches, balances the COM init.
  ~RegexObject();
  RegexObject(RegexObject&& other) noexcept;
  RegexObject& operator=(RegexObject&&) = delete;
  RegexObject(const RegexObject&) = delete;
  RegexObject& operator=(const RegexObject&) = delete;

  // A second object sharing this one's expression and match collection, with
  // a copy of its subject.
  RegexObject Copy() const;

  // Builds a new expression and runs it over `subject`. Defaults: letter case
  // ignored (caseSensitive false), multiline true, global true, quote marker
  // false. With the quote marker every "#引号" in the pattern (in the Text code
  // page) stands for a double quote. True when a match collection was obtained,
  // even an empty one; false for an invalid pattern, and for a search the
  // engine gives up on (recursing too deep, more than 65,536 matches).
  bool Search(const Text& pattern, const Text& subject,
              std::optional<bool> caseSensitive = std::nullopt,
              std::optional<bool> multiline = std::nullopt,
              std::optional<bool> global = std::nullopt,
              std::optional<bool> quoteMarker = std::nullopt);

  // Does nothing.
  void Reserved() {}

  // The pattern of the last Search; "" before the first.
  Text GetPattern();

  // The subject with the matches of the last Search's expression replaced;
  // "$1".."$99", "$&", "$`", "$'" and "$$" as ECMAScript defines them.
  Text ReplaceMatches(const Text& replacement);

  // The number of matches of the last Search; 0 before it or after a failure.
  int MatchCount();

  // The text of match n; "" past the last. With `position`, the 0-based byte
  // offset of the match in the subject.
  Text MatchText(int n, int* position = nullptr);

  // The text of group k of match n; "" past the last match or group, or for a
  // group that did not take part. With `position`, the byte offset of the
  // first occurrence of the group's text at or after the start of its match
  // (letter case ignored when the expression ignores it); -1 if none.
  Text SubMatchText(int n, int k, int* position = nullptr);

  // The number of captured groups of match 1; 0 before a Search or without
  // matches.
  int SubMatchCount();

 private:
  // Byte offset in subject_ of the first `units` UTF-16 units.
  int ByteOffsetOfUnits(int units) const;

  bool comHeld_ = false;
  AutomationObject expression_;
  AutomationObject matches_;
  Variant subject_;
};

}  // namespace qp::script
