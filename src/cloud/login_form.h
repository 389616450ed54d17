#pragma once
// The console's sign-in form, as its login page posts it.

#include "platform/text.h"

namespace qp::cloud {

// Every byte but the unreserved characters (A-Z a-z 0-9 - . _ ~) as %XX with
// upper-case hex digits, so the server decodes exactly the bytes given, "&",
// "+", "%" and "=" included.
Text PercentEncode(const Text& text);

// The one-time form token of the login page: the text between
// `formhash" value="` and the next `" />`; "" when either is missing.
Text FormTokenOf(const Text& page);

// "action=login&task=login&ref=%2Fmydisk.php&formhash=" + token +
// "&username=" + username + "&password=" + password, the two fields
// percent-encoded.
Text LoginFormBody(const Text& formhash, const Text& username, const Text& password);

}  // namespace qp::cloud
