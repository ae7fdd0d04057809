#pragma once

#include <cstddef>
#include <string_view>

namespace kelvara {

// Splits a text file's bytes into lines: CR or CR LF ends a line (the
// terminator is not part of it), a lone LF is an ordinary character, a byte
// 0x1A ends the file and the last line needs no terminator.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes) : rest_(bytes) {}

  // Gives the next line; false once the file has ended.
  bool Next(std::string_view& line);

 private:
  // Looks for the end-of-file byte before `end` (at most rest_'s size),
  // cutting rest_ there when there is one.
  void CheckUpTo(std::size_t end);

  std::string_view rest_;
  // How many of rest_'s first bytes are known to hold no end-of-file byte.
  // The bytes are checked a block at a time as the lines reach them, not all
  // at once: a reader that stops early then reads no further, and one that
  // goes on finds the bytes still in the cache.
  std::size_t checked_ = 0;
};

}  // namespace kelvara
