#pragma once
// The two GUI forms of the POSIX stand-in and what they share.

#include <memory>

#include "platform/gui.h"

namespace qp::gui::posix {

// The GTK window; nullptr when GTK can't open the display.
std::unique_ptr<Gui> OpenGtkGui();
// No window: texts are lines on standard error.
std::unique_ptr<Gui> OpenTerminalGui();

// Writes `text` to standard error as one line: line breaks inside it become
// blanks, so every message stays one line for whoever reads the stream.
void WriteErrorLine(const Text& text);

}  // namespace qp::gui::posix
