#pragma once
// The program's entry and its one window: the form, the creation handler that
// chooses between association mode and upload mode, and the button clicks.

#include "platform/gui.h"
#include "platform/process.h"

namespace qp::app {

// The window as the form lays it out: "我", 461 x 95 at 50, 50; 分组框1 with
// 标签1 and the two Send To buttons, hidden at first; 标签2, the status line.
// Control ids are those of app::form.
gui::Form MainForm();

// The creation handler, on the UI thread before the message loop: splits the
// command line into Arguments, reads "cookies" into SessionCookies and the
// username and password, then shows the association look when no file was
// given, or runs the session check with the username and password.
void OnMainWindowCreated();

// The click handler: the Send To buttons install or remove the entries.
void OnMainWindowClicked(gui::ControlId control);

// Runs the program on `gui` with `commandLine`: creates the window, runs the
// message loop until the window is closed (or the terminal form has nothing
// to wait for), runs ReleaseGlobals and returns the exit code. The orderly
// exits inside end the process instead of returning, except under FakeGui.
int RunProgram(gui::Gui& gui, const process::CommandLine& commandLine);

// The entry: the platform's start-up, then RunProgram on the GUI this session
// offers (a window, or the terminal form without a desktop).
int ProgramStart(int argc, char** argv);

}  // namespace qp::app
