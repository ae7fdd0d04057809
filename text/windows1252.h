#pragma once

#include <optional>
#include <string>
#include <string_view>

// Windows-1252, the code page in which the desktop program, and so every
// page of the default form, takes a password, and UTF-8, in which the
// browser and the strong form take it.
namespace kelvara {

// The byte order mark that may open a UTF-8 file; no part of its text.
inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// A character's Windows-1252 byte, when it has one.
std::optional<char> ToWindows1252(char32_t c);

// Decodes strict UTF-8: no overlong forms, no surrogates, nothing past
// U+10FFFF. False when `text` is not UTF-8 at all.
bool DecodeUtf8(std::string_view text, std::u32string& characters);

// Bytes that are UTF-8 as they are; any others read as Windows-1252.
std::string AsUtf8(std::string_view bytes);

// Lower-cases Windows-1252 bytes one by one, as CharLowerBuffA does on a
// Western system.
void LowerWindows1252InPlace(char* data, std::size_t size);

// Text in the system's ANSI code page to UTF-8: Windows-1252 but on Windows,
// where the code page is the system's own.
std::string AnsiToUtf8(std::string_view text);

}  // namespace kelvara
