#pragma once
// The script every JsonDocument engine loads before its document variable.

namespace qp::script {

// get__count(c): c's length when it is an array, else 0.
// get__name_All(a): the names a for-in loop over object a yields, functions
//   left out, joined with CR LF; "" for anything but an object.
// get__extend(target, source): merges source into target (arrays: appends
//   source's elements) and returns target.
// set__parsed(name, text): the global `name` becomes JSON.parse(text); true
//   when that is not null. The text is a value, never source.
// Object.prototype.toJSONString / parseJSON, not enumerable, so for-in loops
//   over documents never see them.
// JSON itself is the engine's own.
extern const char kJsonSupportScript[];

}  // namespace qp::script
