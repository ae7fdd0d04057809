#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "format/outcome.h"
#include "page/run_page.h"

namespace kelvara::cli {

struct Options {
  Mode mode = Mode::Auto;
  bool passwordStdin = false;
  // Protect in the strong form, with every password given; print a link that
  // opens each page.
  bool strong = false;
  bool share = false;
  bool help = false;
  bool version = false;
  // Where the pages are written instead of in place; empty for in place.
  std::string output;
  std::vector<std::string> paths;
};

// A usage error, in the tool's own words: nothing is changed.
inline Outcome UsageError(std::string text) {
  return Outcome(OutcomeCode::Usage, std::move(text));
}
// A page or a path that the tool itself refused, in its own words.
inline Outcome Refusal(std::string_view text) {
  return Outcome(OutcomeCode::Refused, std::string(text));
}

// Reads the arguments that follow the program's name into `options`, or
// refuses them with what is wrong with them. Options may stand anywhere
// before a "--", after which every argument is a path, so that a page whose
// name starts with "-" can still be named.
Outcome ParseOptions(const std::vector<std::string>& args, Options& options);

// The full help: the usage line and a line on each option.
std::string HelpText();

// `text` as the tool prints it back: every control character escaped (\n,
// \r, \t, otherwise \xHH for each of its bytes): C0 and C1 controls, in
// UTF-8 or as single bytes, and the Unicode bidirectional controls, so that a
// name holding one cannot break a message's line, steer the terminal or turn
// the line around. Every other byte is printed as it is.
std::string Printable(std::string_view text);

}  // namespace kelvara::cli
