#include "app/command_line.h"

#include "platform/codepage.h"

namespace qp::app {
namespace {

bool IsSeparator(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::vector<Text> SplitCommandLine(std::string_view line) {
  std::size_t i = 0;
  auto step = [&] { i += codepage::CharSize(line, i); };

  // The program's own path.
  if (i < line.size() && line[i] == '"') {
    ++i;
    while (i < line.size() && line[i] != '"')
      step();
    if (i < line.size())
      ++i;  // the closing quote
  } else {
    while (i < line.size() && line[i] != ' ')
      step();
  }

  std::vector<Text> args;
  for (;;) {
    while (i < line.size() && IsSeparator(line[i]))
      ++i;
    if (i >= line.size())
      return args;
    std::size_t start = i;
    if (line[i] == '"') {
      start = ++i;
      while (i < line.size() && line[i] != '"')
        step();
      args.emplace_back(line.substr(start, i - start));
      if (i < line.size())
        ++i;  // the closing quote
    } else {
      while (i < line.size() && !IsSeparator(line[i]) && line[i] != '"')
        step();
      args.emplace_back(line.substr(start, i - start));
    }
  }
}

}  // namespace qp::app
