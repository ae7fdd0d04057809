#include "format/base64.h"

#include <array>
#include <cstdint>

namespace kelvara {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kNotBase64 = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeValues() {
  std::array<std::uint8_t, 256> values{};
  for (auto& value : values) value = kNotBase64;
  for (int i = 0; i < 64; ++i)
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  return values;
}

constexpr std::array<std::uint8_t, 256> kValues = MakeValues();

}  // namespace

void Base64Encode(std::string& out, std::string_view bytes) {
  const std::size_t start = out.size();
  out.resize(start + (bytes.size() + 2) / 3 * 4);
  char* to = out.data() + start;
  const auto* from = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t left = bytes.size();
  for (; left >= 3; left -= 3, from += 3, to += 4) {
    const std::uint32_t group =
        std::uint32_t{from[0]} << 16 | std::uint32_t{from[1]} << 8 | from[2];
    to[0] = kAlphabet[group >> 18];
    to[1] = kAlphabet[group >> 12 & 63];
    to[2] = kAlphabet[group >> 6 & 63];
    to[3] = kAlphabet[group & 63];
  }
  if (left > 0) {
    const std::uint32_t group =
        std::uint32_t{from[0]} << 16 | (left == 2 ? std::uint32_t{from[1]} << 8 : 0);
    to[0] = kAlphabet[group >> 18];
    to[1] = kAlphabet[group >> 12 & 63];
    to[2] = left == 2 ? kAlphabet[group >> 6 & 63] : '=';
    to[3] = '=';
  }
}

bool Base64Decode(std::string_view text, std::string& bytes) {
  bytes.clear();
  if (text.size() % 4 != 0) return false;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  bytes.resize(text.size() / 4 * 3 - padding);
  char* to = bytes.data();
  std::size_t written = 0;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      const char c = text[i + j];
      const std::uint8_t value = kValues[static_cast<unsigned char>(c)];
      // "=" only as the padding at the very end.
      if (value == kNotBase64 && !(c == '=' && i + j >= text.size() - padding)) return false;
      group = group << 6 | (value == kNotBase64 ? 0 : value);
    }
    const char three[3] = {static_cast<char>(group >> 16), static_cast<char>(group >> 8),
                           static_cast<char>(group)};
    for (int k = 0; k < 3 && written < bytes.size(); ++k) to[written++] = three[k];
  }
  return true;
}

}  // namespace kelvara
