#include "cipher/page_cipher.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

namespace kelvara {
namespace {

constexpr std::uint8_t kNotHex = 0xFF;

constexpr std::uint8_t HexValue(int c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  return kNotHex;
}

// The value of one or two hex characters: reading stops at the first one that is not a digit.
constexpr std::uint8_t ReadHex(int first, int second) {
  const std::uint8_t high = HexValue(first);
  if (high == kNotHex) return 0;
  const std::uint8_t low = HexValue(second);
  if (low == kNotHex) return high;
  return static_cast<std::uint8_t>(high * 16 + low);
}

// Pages are mostly hex text, so every pair of characters gets its value from
// one look-up: 64 KiB, of which the few rows that digits use stay in cache.
struct PairValues {
  std::array<std::uint8_t, 65536> value;
  PairValues() {
    for (int first = 0; first < 256; ++first) {
      for (int second = 0; second < 256; ++second)
        value[first << 8 | second] = ReadHex(first, second);
    }
  }
};

const PairValues& Pairs() {
  static const auto pairs = std::make_unique<PairValues>();
  return *pairs;
}

// The two digits of every byte value, ready to be copied out together.
constexpr std::array<std::array<char, 2>, 256> MakeDigitPairs() {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::array<std::array<char, 2>, 256> pairs{};
  for (int v = 0; v < 256; ++v) pairs[v] = {kDigits[v >> 4], kDigits[v & 0x0F]};
  return pairs;
}

constexpr std::array<std::array<char, 2>, 256> kDigitPairs = MakeDigitPairs();

std::uint8_t Byte(char c) {
  return static_cast<std::uint8_t>(c);
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
    std::memcpy(digits, kDigitPairs[value].data(), 2);
    digits += 2;
  }
}

std::string PageCipher::EncodeHex(std::string_view text) const {
  std::string hex;
  AppendEncodedHex(hex, text);
  return hex;
}

void PageCipher::AppendDecodedHex(std::string& out, std::string_view hex) const {
  const std::size_t start = out.size();
  out.resize(start + (hex.size() + 1) / 2);
  char* plain = out.data() + start;
  const std::uint8_t* pairValue = Pairs().value.data();
  const std::size_t keyLength = key_.size();
  std::size_t k = 0;
  std::size_t i = 0;
  for (; i + 1 < hex.size(); i += 2) {
    const std::uint8_t value = pairValue[Byte(hex[i]) << 8 | Byte(hex[i + 1])];
    *plain++ = static_cast<char>(value - Byte(key_[k]));
    if (++k == keyLength) k = 0;
  }
  if (i < hex.size()) *plain = static_cast<char>(ReadHex(Byte(hex[i]), -1) - Byte(key_[k]));
}

std::string PageCipher::DecodeHex(std::string_view hex) const {
  std::string plain;
  AppendDecodedHex(plain, hex);
  return plain;
}

}  // namespace kelvara
