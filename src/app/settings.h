#pragma once
// The settings file "设置.ini" beside the executable: section "lanzouyun" with
// the keys "cookies", "username" and "password". It is the program's only
// run-time configuration; users fill in the account by hand.

#include "platform/text.h"

namespace qp::app {

// The run directory followed by "/设置.ini" ("\设置.ini" on Windows), built
// afresh on every call.
Text SettingsFilePath();

// The key's value in section "lanzouyun"; "" when the file, the section or the
// key is missing. A value is cut to its first 10,239 bytes.
Text ReadSetting(const Text& key);

// Writes "key=value" into section "lanzouyun", creating the file (readable by
// its owner only) and the section when needed. Writing "" leaves the key with
// nothing after its "="; the reset of a missing account does that. The result
// is not consulted by the program: a folder that is not writable only means
// the cookie text is not kept.
bool WriteSetting(const Text& key, const Text& value);

// Removes the key from the section. A sign-in whose cookie text came out empty
// stores it this way, as the profile function does with no value at all.
bool RemoveSetting(const Text& key);

}  // namespace qp::app
