#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the fuzz targets share: how an input is cut into its parts, and how a
// broken property stops the run so that libFuzzer keeps the input.
namespace kelvara::fuzz {

// An input is a short first line (a password, a tag name) and, after its LF,
// the bytes of a page. An input without LF is all first line.
struct FuzzInput {
  std::string_view firstLine;
  std::string_view page;
};

FuzzInput SplitInput(const std::uint8_t* data, std::size_t size);

// Bytes as C-style escaped text, cut after `limit` bytes, for reports.
std::string Escaped(std::string_view bytes, std::size_t limit = 400);

// Prints what broke, with the two texts that differ when there are any, and
// aborts: libFuzzer saves the input that got there.
[[noreturn]] void Fail(std::string_view what, std::string_view got = {},
                       std::string_view wanted = {});

inline void Require(bool holds, std::string_view what) {
  if (!holds) Fail(what);
}

inline void RequireEqual(std::string_view got, std::string_view wanted, std::string_view what) {
  if (got != wanted) Fail(what, got, wanted);
}

// The page's text from its first byte 0x1A on is not part of it.
std::string_view BeforeEndOfFile(std::string_view bytes);

// Splits at CR or at CR LF, as the page's lines are read; the last line needs
// no terminator.
std::vector<std::string_view> SplitLines(std::string_view bytes);

// Removes blanks (0x20 only) at both ends.
std::string_view Trim(std::string_view text);

// True when every CR is the first half of a CR LF pair.
bool CrOnlyInCrLf(std::string_view text);

}  // namespace kelvara::fuzz
