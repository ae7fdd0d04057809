#pragma once

#include <string_view>

namespace kelvara {

// Splits a text file's bytes into lines: CR or CR LF ends a line (the
// terminator is not part of it), a lone LF is an ordinary character, a byte
// 0x1A ends the file and the last line needs no terminator.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes);

  // Gives the next line; false once the file has ended.
  bool Next(std::string_view& line);

 private:
  std::string_view rest_;
};

}  // namespace kelvara
