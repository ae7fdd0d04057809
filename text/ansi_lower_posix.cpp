#include <array>
#include <cstdint>
#include <cstring>

#include "text/text.h"

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

constexpr std::uint64_t kEachByte = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// Lower-cases eight ASCII bytes at once: a byte gets 0x20 added when it lies
// in 'A'..'Z'. No byte is above 0x7F, so the additions never carry over.
std::uint64_t LowerAsciiWord(std::uint64_t word) {
  const std::uint64_t atLeastA = word + kEachByte * (0x80 - 'A');
  const std::uint64_t aboveZ = word + kEachByte * (0x80 - 'Z' - 1);
  const std::uint64_t upper = atLeastA & ~aboveZ & kHighBits;
  return word | (upper >> 2);
}

}  // namespace

void LowerAnsiInPlace(char* data, std::size_t size) {
  // Pages are mostly ASCII: whole words of it take the fast way.
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    if ((word & kHighBits) == 0) {
      word = LowerAsciiWord(word);
      std::memcpy(data + i, &word, 8);
    } else {
      for (std::size_t j = i; j < i + 8; ++j) {
        data[j] = static_cast<char>(kLowerTable[static_cast<unsigned char>(data[j])]);
      }
    }
  }
  for (; i < size; ++i)
    data[i] = static_cast<char>(kLowerTable[static_cast<unsigned char>(data[i])]);
}

}  // namespace kelvara
