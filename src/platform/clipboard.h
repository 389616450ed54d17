#pragma once
// The clipboard, holding a text after the program has exited, as the Windows
// clipboard does.

#include "platform/text.h"

namespace qp::clipboard {

// Replaces the clipboard's content with `text`. On Windows: CF_TEXT. On the
// POSIX stand-in the text is handed to a clipboard tool that keeps serving it
// after the program ends (wl-copy under Wayland, xclip under X11); without a
// desktop clipboard (no display, or no tool) it is written to standard output
// as one line, which is where a terminal user takes it from. false when the
// text could be placed nowhere.
bool SetText(const Text& text);

}  // namespace qp::clipboard
