#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvara::bench {

// A made-up page for measuring: CR LF lines of ASCII markup as an editor
// would leave them, indented, with a head beyond the title, body attributes,
// an occasional blank line, self-closed tags, and scripts and comments in the
// body for protection to cut out. The same seed always gives the same page.
struct GeneratedPage {
  std::string bytes;
  int scripts = 0;   // script elements in the body, each spanning three lines
  int comments = 0;  // comments in the body, each on a line of its own
};

// A page of at least `minBytes` bytes and at most a few hundred more.
GeneratedPage GeneratePage(std::size_t minBytes, std::uint32_t seed);

}  // namespace kelvara::bench
