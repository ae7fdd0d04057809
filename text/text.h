#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Byte strings of the page: single-byte ANSI text, any byte value allowed.
namespace kelvara {

inline constexpr std::string_view kCrLf = "\r\n";

// Removes leading and trailing blanks (0x20 only: tabs, CR and LF stay).
std::string_view TrimSpaces(std::string_view text);

// True when the text holds nothing but blanks (or nothing at all).
bool IsBlank(std::string_view text);

// Lower-cases in place with the system's single-byte ANSI rules. The length
// never changes, so positions found in a lower-cased copy hold for the text.
void LowerAnsiInPlace(char* data, std::size_t size);

std::string LowerAnsi(std::string_view text);

}  // namespace kelvara
