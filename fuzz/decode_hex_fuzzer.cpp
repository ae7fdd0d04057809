// The page cipher on arbitrary hex texts and keys, held against a plain
// rendering of its rules, and its round trips.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cipher/page_cipher.h"
#include "fuzz/fuzz_support.h"

namespace kelvara::fuzz {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Two characters at a time (one at the end of an odd text); reading a pair
// stops at its first character that is not a digit. Then the key is taken off.
std::string ReferenceDecode(std::string_view hex, std::string_view key) {
  std::string plain;
  for (std::size_t i = 0, k = 0; i < hex.size(); i += 2, k = (k + 1) % key.size()) {
    int value = 0;
    for (const char c : hex.substr(i, 2)) {
      const int digit = HexDigit(c);
      if (digit < 0) break;
      value = value * 16 + digit;
    }
    plain.push_back(static_cast<char>((value + 256 - static_cast<unsigned char>(key[k])) % 256));
  }
  return plain;
}

std::string ReferenceEncode(std::string_view text, std::string_view key) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int value =
        (static_cast<unsigned char>(text[i]) + static_cast<unsigned char>(key[i % key.size()])) %
        256;
    hex.push_back(kDigits[value / 16]);
    hex.push_back(kDigits[value % 16]);
  }
  return hex;
}

bool AllHexDigits(std::string_view text) {
  for (const char c : text) {
    if (HexDigit(c) < 0) return false;
  }
  return true;
}

std::string UpperHex(std::string_view hex) {
  std::string upper(hex);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

}  // namespace
}  // namespace kelvara::fuzz

// Input: the first line is the password, the rest the hex text (and, for the
// round trips, the plain text).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara;
  using namespace kelvara::fuzz;
  const FuzzInput input = SplitInput(data, size);
  const PageCipher cipher{std::string(input.firstLine)};
  const std::string key =
      input.firstLine.empty() ? std::string(1, '\0') : std::string(input.firstLine);
  RequireEqual(cipher.Key(), key, "the key (an empty password is the byte 0)");

  const std::string_view text = input.page;
  const std::string decoded = cipher.DecodeHex(text);
  RequireEqual(decoded, ReferenceDecode(text, key), "DecodeHex");
  // Digits in either letter case read the same; re-encoding writes them upper-case.
  if (text.size() % 2 == 0 && AllHexDigits(text)) {
    RequireEqual(cipher.EncodeHex(decoded), UpperHex(text), "EncodeHex of DecodeHex");
  }

  const std::string encoded = cipher.EncodeHex(text);
  RequireEqual(encoded, ReferenceEncode(text, key), "EncodeHex");
  RequireEqual(cipher.DecodeHex(encoded), text, "DecodeHex of EncodeHex");
  RequireEqual(cipher.ApplyKey(cipher.ApplyKey(text, PageCipher::kEncipher), PageCipher::kDecipher),
               text, "ApplyKey there and back");

  std::string appended = "<prefix>";
  cipher.AppendEncodedHex(appended, text);
  RequireEqual(appended, "<prefix>" + encoded, "AppendEncodedHex");
  return 0;
}
