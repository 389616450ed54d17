#pragma once
// The cookie text that carries the signed-in state: name=value items joined
// by "; ", refreshed from every response that sets cookies.

#include <vector>

#include "platform/text.h"

namespace qp::http {

// Appends the name=value item of every "Set-Cookie" line of a raw response
// header block to `responseCookies` (attributes dropped, no trailing
// separator). When `mergeCookies` is set and `cookies` is not empty, merges
// the result into `cookies` and leaves the merged text in both variables.
void CollectResponseCookies(const Text& headerBlock, Text& responseCookies, Text& cookies,
                            bool mergeCookies);

// New items first in their order, then the old items whose names the new text
// does not set; items ending in "=deleted" removed, exact duplicates removed.
// The result is also stored in `oldCookies`.
Text MergeCookies(Text& oldCookies, const Text& newCookies);

// The item's text before its first "=", trimmed of blanks.
Text CookieName(const Text& item);

bool HasCookieName(const std::vector<Text>& items, const Text& name);

// The text's items with every repeat of an earlier item removed, joined by the
// separator without one at the end.
Text RemoveDuplicateItems(const Text& text, const Text& separator);

// The 1-based position of the first element equal to `item`, -1 when none.
int IndexOfItem(const std::vector<Text>& items, const Text& item);

}  // namespace qp::http
