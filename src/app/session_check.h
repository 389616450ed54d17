#pragma once
// Making sure a signed-in session exists before the upload starts.

#include "platform/text.h"

namespace qp::app {

// Runs on the UI thread inside the creation handler when a file was given,
// with the username and password read from the settings file (SessionCookies
// holds the saved cookie text). It ends in one of these ways: the status line
// is set and the upload job's worker thread is started; a failure is shown
// and the program exits (ExitProgram); or, with no account data at all, the
// window takes the association look and the account keys are reset.
void CheckSession(const Text& username, const Text& password);

}  // namespace qp::app
