#pragma once
// The request header block every request carries, and the marker helpers that
// cut values out of header lines and pages.

#include "platform/text.h"

namespace qp::http {

// The header block for one request: the caller's lines, the default lines the
// caller did not give (the urlencoded Content-Type only for method 1, POST),
// optionally normalised names, an explicit "Connection: keep-alive" line
// dropped, and the Cookie line unless the block already has one.
Text BuildRequestHeaders(const Text& extraHeaders, int method, const Text& cookies,
                         bool addDefaultHeaders, bool normalizeHeaders);

// Header names with the first letter of each dash-separated piece upper-cased;
// lines without a colon are dropped; values are never touched. The result has
// no trailing CR LF.
Text NormalizeHeaders(const Text& block);

// The text with its first character upper-cased if it is an ASCII letter.
Text CapitalizeFirst(const Text& text);

// The value of the first line that starts with `name` (exact case): the text
// after the last "name: " in that line; "" when there is no such line.
Text GetHeaderValue(const Text& block, const Text& name);

// The text before the first `marker`. A negative `position` searches
// backwards instead: -1 from the end, -n for the last marker that starts no
// later than n - 1 bytes before the end. A positive `position` starts a forward search at that
// 1-based byte position. "" when the marker is absent.
Text TextBefore(const Text& text, const Text& marker, int position = 0, bool ignoreCase = false);

// The text after the last `marker`; a positive `position` n takes the last
// marker that starts no later than n - 1 bytes before the end. A negative `position`
// searches forwards instead, from the 1-based byte position -`position`.
// "" when the marker is absent.
Text TextAfter(const Text& text, const Text& marker, int position = 0, bool ignoreCase = false);

// The text between the first `open` at or after the 1-based byte `position`
// (0: from the start) and the first `close` after it. "#引号" in either
// marker stands for a double-quote character. "" when a marker is absent.
Text TextBetween(const Text& text, const Text& open, const Text& close, int position = 0,
                 bool ignoreCase = false);

}  // namespace qp::http
