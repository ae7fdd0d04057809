#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "format/outcome.h"

namespace kelvara::cli {

// The desktop program's key is its password in the Windows ANSI code page,
// and the decoder script in the browser compares character codes. A password
// that is valid UTF-8 with characters beyond ASCII is therefore turned into
// Windows-1252 bytes; any other password (plain ASCII, or bytes that are not
// UTF-8, such as a password already in Windows-1252) is kept byte for byte.
//
// Sets `key`, or refuses a password with a character that Windows-1252
// lacks, naming the first such character.
Outcome PasswordToKey(std::string_view password, std::string& key);

// The longest password line read from standard input, its line end not counted.
inline constexpr std::size_t kMaxPasswordLine = 4096;

enum class LineRead { kLine, kNoInput, kTooLong, kTooMuch };

// How much input of empty lines, which are passed by, is read at most.
inline constexpr std::size_t kEmptyLinesRoom = std::size_t{1} << 20;

// Reads up to `most` lines of a byte stream, in blocks: each up to and
// without its LF, and without a CR right before that LF. `read` fills up to
// `size` bytes of `buffer` and gives how many, 0 at the end of input. One line
// wanted is the first, empty or not; of more, empty lines are passed by and
// not counted. A byte order mark that opens the input is dropped. Reading
// stops at the end of input or once `most` lines have ended. A line longer
// than the longest is kTooLong; input that goes on past `most` longest lines,
// their line ends, the mark and kEmptyLinesRoom is kTooMuch, so an endless
// stream ends. Input that ends before a single byte is no line.
LineRead ReadLines(const std::function<std::size_t(char* buffer, std::size_t size)>& read,
                   std::size_t most, std::vector<std::string>& lines);

}  // namespace kelvara::cli
