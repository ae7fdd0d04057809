#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kelvara::cli {

// The desktop program's key is its password in the Windows ANSI code page,
// and the decoder script in the browser compares character codes. A password
// that is valid UTF-8 with characters beyond ASCII is therefore turned into
// Windows-1252 bytes; any other password (plain ASCII, or bytes that are not
// UTF-8, such as a password already in Windows-1252) is kept byte for byte.
//
// Gives true with `key` set, or false with `error` naming the first character
// that Windows-1252 lacks.
bool PasswordToKey(std::string_view password, std::string& key, std::string& error);

// Reads the first line of a byte stream, one byte at a time so that nothing
// after it is consumed: up to and without its LF, and without a CR right
// before that LF. `next` gives the next byte, or false at the end of input.
// Gives false when the input ends before a single byte, which is not a line;
// an empty line is an empty password.
bool ReadFirstLine(const std::function<bool(char&)>& next, std::string& line);

}  // namespace kelvara::cli
