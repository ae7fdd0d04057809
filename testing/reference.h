#pragma once

#include <string>
#include <string_view>
#include <vector>

// Plain renderings of the page format's rules, written from their
// definitions and not from the product's code, for tests and fuzz targets to
// hold the product against.
namespace kelvara::reference {

// The page's lines: a line ends at CR or at CR LF, a lone LF is part of it,
// a byte 0x1A ends the file, and the last line needs no terminator.
std::vector<std::string_view> Lines(std::string_view bytes);

// Blanks (0x20 only) off both ends.
std::string_view Trim(std::string_view text);

// Deciphers hex text two characters at a time, as the cipher is defined:
// each pair read as far as its characters are hex digits, minus the key byte
// at the cycling position, modulo 256.
std::string DecodeHex(std::string_view hex, std::string_view key);

// Restores a protected page step by step as the format was first read: no
// check value, no guard against a wrong key, the body attribute text taken
// up to the body line's first ">". Empty when a line it waits for is missing.
std::string RestoreLiterally(std::string_view bytes, std::string_view key);

}  // namespace kelvara::reference
