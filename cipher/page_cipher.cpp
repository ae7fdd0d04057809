#include "cipher/page_cipher.h"

#include <array>
#include <cstdint>

namespace kelvara {
namespace {

constexpr std::uint8_t kNotHex = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeHexValues() {
  std::array<std::uint8_t, 256> values{};
  values.fill(kNotHex);
  for (int d = 0; d < 10; ++d) values['0' + d] = static_cast<std::uint8_t>(d);
  for (int d = 0; d < 6; ++d) {
    values['A' + d] = static_cast<std::uint8_t>(10 + d);
    values['a' + d] = static_cast<std::uint8_t>(10 + d);
  }
  return values;
}

constexpr std::array<std::uint8_t, 256> kHexValues = MakeHexValues();
constexpr char kHexDigits[] = "0123456789ABCDEF";

std::uint8_t Byte(char c) {
  return static_cast<std::uint8_t>(c);
}

// The value of one or two hex characters: reading stops at the first one that is not a digit.
std::uint8_t ReadHexPair(char first, char second, bool hasSecond) {
  const std::uint8_t high = kHexValues[Byte(first)];
  if (high == kNotHex) return 0;
  if (!hasSecond) return high;
  const std::uint8_t low = kHexValues[Byte(second)];
  if (low == kNotHex) return high;
  return static_cast<std::uint8_t>(high * 16 + low);
}

}  // namespace

PageCipher::PageCipher(std::string key) : key_(std::move(key)) {
  if (key_.empty()) key_.assign(1, '\0');
}

std::string PageCipher::ApplyKey(std::string_view text, int direction) const {
  std::string result(text.size(), '\0');
  const std::size_t keyLength = key_.size();
  std::size_t k = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    result[i] = static_cast<char>(Byte(text[i]) + 256 + direction * Byte(key_[k]));
    if (++k == keyLength) k = 0;
  }
  return result;
}

void PageCipher::AppendEncodedHex(std::string& out, std::string_view text) const {
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size());
  char* digits = out.data() + start;
  const std::size_t keyLength = key_.size();
  std::size_t k = 0;
  for (const char c : text) {
    const std::uint8_t value = static_cast<std::uint8_t>(Byte(c) + Byte(key_[k]));
    if (++k == keyLength) k = 0;
    *digits++ = kHexDigits[value >> 4];
    *digits++ = kHexDigits[value & 0x0F];
  }
}

std::string PageCipher::EncodeHex(std::string_view text) const {
  std::string hex;
  AppendEncodedHex(hex, text);
  return hex;
}

std::string PageCipher::DecodeHex(std::string_view hex) const {
  std::string plain((hex.size() + 1) / 2, '\0');
  const std::size_t keyLength = key_.size();
  std::size_t k = 0;
  for (std::size_t i = 0, o = 0; i < hex.size(); i += 2, ++o) {
    const bool hasSecond = i + 1 < hex.size();
    const std::uint8_t value = ReadHexPair(hex[i], hasSecond ? hex[i + 1] : '\0', hasSecond);
    plain[o] = static_cast<char>(value + 256 - Byte(key_[k]));
    if (++k == keyLength) k = 0;
  }
  return plain;
}

}  // namespace kelvara
