#include "text/windows1252.h"

#include <array>

namespace kelvara {
namespace {

// Windows-1252 bytes 0x80 to 0x9F by the character they stand for; the five
// bytes that the code page leaves undefined map to the C1 control of the same
// value, as Windows itself converts them.
constexpr std::array<char32_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

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

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::optional<char> ToWindows1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(static_cast<unsigned char>(c));
  for (std::size_t i = 0; i < kHighTable.size(); ++i) {
    if (kHighTable[i] == c) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

bool DecodeUtf8(std::string_view text, std::u32string& out) {
  out.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    // The lead byte gives the sequence's length; the smallest value each
    // length may carry rules out overlong forms.
    int extra = 0;
    char32_t least = 0;
    if (lead >= 0xF0) {
      extra = 3;
      least = 0x10000;
    } else if (lead >= 0xE0) {
      extra = 2;
      least = 0x800;
    } else if (lead >= 0xC0) {
      extra = 1;
      least = 0x80;
    } else if (lead >= 0x80) {
      return false;  // a continuation byte cannot start a character
    }
    if (lead >= 0xF8) return false;
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    if (text.size() - i - 1 < static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out.push_back(c);
    i += 1 + extra;
  }
  return true;
}

std::string AsUtf8(std::string_view bytes) {
  std::u32string characters;
  if (DecodeUtf8(bytes, characters)) return std::string(bytes);
  std::string text;
  for (const char b : bytes) {
    const auto byte = static_cast<unsigned char>(b);
    AppendUtf8(text, byte >= 0x80 && byte < 0xA0 ? kHighTable[byte - 0x80] : byte);
  }
  return text;
}

void LowerWindows1252InPlace(char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<char>(kLowerTable[static_cast<unsigned char>(data[i])]);
}

}  // namespace kelvara
