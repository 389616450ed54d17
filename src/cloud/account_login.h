#pragma once
// Signing in to the service's web console the way its login page does.

#include "platform/text.h"

namespace qp::cloud {

// Fetches the login page for its one-time form token, posts the login form and
// keeps the cookies the answer sets. `sessionCookies` is replaced whenever the
// form is posted, also when the sign-in fails. true when the console confirmed
// the sign-in; the caller then saves the new cookie text.
bool AccountLogin(const Text& username, const Text& password, Text* sessionCookies);

}  // namespace qp::cloud
