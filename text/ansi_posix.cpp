#include <array>

#include "text/text.h"
#include "text/windows1252.h"

namespace kelvara {
namespace {

// Windows-1252 lower-casing, the table that CharLowerBuffA applies on a
// Western system, so that pages match the same way on every platform.
constexpr std::array<unsigned char, 256> MakeLowerTable() {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(c);
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<unsigned char>(c + 0x20);
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7)
      table[c] = static_cast<unsigned char>(c + 0x20);  // 0xD7 is the multiplication sign
  }
  table[0x8A] = 0x9A;  // S caron
  table[0x8C] = 0x9C;  // OE ligature
  table[0x8E] = 0x9E;  // Z caron
  table[0x9F] = 0xFF;  // Y diaeresis
  return table;
}

constexpr std::array<unsigned char, 256> kLowerTable = MakeLowerTable();

}  // namespace

void LowerAnsiInPlace(char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<char>(kLowerTable[static_cast<unsigned char>(data[i])]);
}

std::string AnsiToUtf8(std::string_view text) {
  return AsUtf8(text);
}

}  // namespace kelvara
