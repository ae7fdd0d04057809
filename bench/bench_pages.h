#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvara::bench {

// A made-up page for measuring: CR LF lines of ASCII markup as an editor
// would leave them, indented, with a head beyond the title, body attributes,
// an occasional blank line, self-closed tags, and scripts and comments in the
// body for protection to cut out (a script of three lines every 23 lines, a
// comment every 31). The same seed always gives the same page, of at least
// `minBytes` bytes and at most a few hundred more.
std::string GeneratePage(std::size_t minBytes, std::uint32_t seed);

}  // namespace kelvara::bench
