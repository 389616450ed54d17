#pragma once
// Splitting a Windows command line (GetCommandLineA) into arguments.

#include <string_view>
#include <vector>

#include "platform/text.h"

namespace qp::app {

// The arguments after the program's own path, in order: the path is skipped
// (up to its closing quote when quoted, else up to the first blank); then
// characters at or below the blank separate arguments, a double quote opens
// an argument that runs to the next double quote (stored without its quotes),
// and a plain argument runs to a character at or below the blank or a double
// quote. Multi-byte characters of the Text code page are taken whole, so their
// trail bytes never end an argument.
std::vector<Text> SplitCommandLine(std::string_view line);

}  // namespace qp::app
